#include "kxr/rvutil.h"
#include "tests/unit/platform/test_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<std::string> sinkLines;

using Listing = std::vector<std::pair<std::string, uint32_t>>;
constexpr uint32_t kSub = RV_CFG_TYPE_SUBKEY, kStr = RV_CFG_TYPE_STRING, kNum = RV_CFG_TYPE_DWORD,
                   kOther = RV_CFG_TYPE_OTHER;

Listing ListKey(const char* keyPath) {
    Listing entries;
    char name[RV_MAX_PATH];
    uint32_t type = 99;
    while (entries.size() < 100 && // an enumeration that never ends is a fault, not a hang
           rvCFGGetNext(RV_CFG_ROOT, keyPath, name,
                        entries.empty() ? "" : entries.back().first.c_str(), &type) == 0)
        entries.emplace_back(name, type);
    return entries;
}

std::string ReadString(const char* keyPath, const char* valueName) {
    char buffer[RV_MAX_PATH + 1] = "<missing>"; // untouched when refused
    rvCFGValueString(RV_CFG_ROOT, keyPath, valueName, buffer, nullptr, 0);
    return buffer;
}

int32_t SetNumber(const char* keyPath, const char* valueName, uint32_t value) {
    return rvCFGValueDword(RV_CFG_ROOT, keyPath, valueName, &value, 1);
}

class ConfigStore : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        file_ = Path("kxr.toml");
        sinkLines.clear();
        rvSetErrSink([](uint32_t, const char* line) { sinkLines.emplace_back(line); });
    }
    void TearDown() override {
        rvSetErrSink(nullptr);
        rvCFGOpen(nullptr);
        TempDirTest::TearDown();
    }
    std::string Contents() const { return ReadFile("kxr.toml"); }
    // Nothing but the file is ever left in the directory: no temporary files.
    bool OnlyTheFile() const {
        return fs::exists(file_) && std::distance(fs::directory_iterator(root_), {}) == 1;
    }
    int32_t Open(const std::string& text) {
        WriteFile("kxr.toml", text);
        return rvCFGOpen(file_.c_str());
    }

    std::string file_;
};

const char kSample[] = R"(
[KXR.NetServer]
Zeta = 8080
Alpha = "/srv/www"
[KXR.NetServer.FileDirs]
Media = "/srv/media"
[KXR.Internal0]
Dir = "/rec"
)";

TEST_F(ConfigStore, EnumerationFollowsFileOrderAndEnds) {
    ASSERT_EQ(Open(kSample), 0);
    EXPECT_EQ(ListKey("KXR"), (Listing{{"NetServer", kSub}, {"Internal0", kSub}}));
    EXPECT_EQ(ListKey("KXR\\NetServer"),
              (Listing{{"Zeta", kNum}, {"Alpha", kStr}, {"FileDirs", kSub}}));
    EXPECT_EQ(ListKey("\\KXR\\\\Internal0\\"), (Listing{{"Dir", kStr}})); // empty segments
    char name[RV_MAX_PATH];
    uint32_t type = 77;
    // After the last, after an unknown name, an unknown key, a value as a key, root 0.
    const int32_t r = RV_CFG_ROOT;
    const char* in0 = "KXR\\Internal0";
    const std::tuple<int32_t, const char*, const char*> ends[] = {{r, in0, "Dir"},
                                                                  {r, in0, "Nope"},
                                                                  {r, "KXR\\Missing", ""},
                                                                  {r, "KXR\\Internal0\\Dir", ""},
                                                                  {0, in0, ""}};
    for (const auto& [root, key, previous] : ends) {
        std::strcpy(name, "keep");
        EXPECT_EQ(rvCFGGetNext(root, key, name, previous, &type), RV_CFG_NO_ENTRY) << key;
        EXPECT_STREQ(name, "keep");
    }
    EXPECT_EQ(rvCFGHasSubKey(RV_CFG_ROOT, "KXR\\NetServer\\FileDirs"), 1);
    EXPECT_EQ(rvCFGHasSubKey(RV_CFG_ROOT, "KXR\\NetServer\\FileDirs\\Media"), 0); // a value
}

TEST_F(ConfigStore, TypesAndReadsCutToTheBuffer) {
    const std::string longName(400, 'n');
    ASSERT_EQ(Open("[T]\ntop = 4294967295\nminus = -1\nlowest = -2147483648\nbig = 4294967296\n"
                   "under = -2147483649\ntext = \"hello\"\nreal = 2.5\ninline = { a = 1 }\n"
                   "[K]\nshort = \"abc\"\nlong = \"" +
                   std::string(300, 'p') + "\"\n" + longName + " = 1\n"),
              0);
    // Name, type, the number read; only "text" reads as text.
    const std::tuple<const char*, uint32_t, uint32_t> rows[] = {
        {"top", kNum, 0xFFFFFFFFu}, {"minus", kNum, 0xFFFFFFFFu}, {"lowest", kNum, 0x80000000u},
        {"big", kOther, 0},         {"under", kOther, 0},         {"text", kStr, 0},
        {"real", kOther, 0},        {"inline", kSub, 0}};
    const Listing listed = ListKey("T");
    ASSERT_EQ(listed.size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        const auto& [name, type, number] = rows[i];
        EXPECT_EQ(listed[i], (std::pair<std::string, uint32_t>(name, type)));
        uint32_t value = 12345;
        EXPECT_EQ(rvCFGValueDword(RV_CFG_ROOT, "T", name, &value, 0) == 0, type == kNum) << name;
        EXPECT_EQ(value, type == kNum ? number : 12345u) << name; // untouched when refused
        EXPECT_EQ(ReadString("T", name), type == kStr ? "hello" : "<missing>");
    }
    // Name, capacity (0 stands for RV_MAX_PATH + 1), bytes copied, size reported.
    const std::tuple<const char*, uint32_t, size_t, uint32_t> cuts[] = {
        {"short", 4, 3, 4},
        {"short", 3, 2, 4},
        {"long", 0, RV_MAX_PATH, 301},
        {"long", 400, 300, 301}};
    for (const auto& [name, capacity, copied, reported] : cuts) {
        char buffer[512];
        std::memset(buffer, '#', sizeof buffer);
        uint32_t size = capacity;
        ASSERT_EQ(rvCFGValueString(RV_CFG_ROOT, "K", name, buffer, &size, 0), 0);
        EXPECT_EQ(std::strlen(buffer), copied) << name << " " << capacity;
        EXPECT_EQ(buffer[copied + 1], '#'); // nothing written past the terminator
        EXPECT_EQ(size, reported);
    }
    EXPECT_EQ(ListKey("K").back().first, longName.substr(0, RV_MAX_PATH - 1)); // names cut too
}

TEST_F(ConfigStore, WritesKeepTheRestOfTheFileOrFailChangingNothing) {
    ASSERT_EQ(Open(kSample), 0);
    char path[] = "/var/www", badUtf8[] = "caf\xE9";
    ASSERT_EQ(rvCFGValueString(RV_CFG_ROOT, "KXR\\NetServer", "Added", path, nullptr, 1), 0);
    ASSERT_EQ(SetNumber("KXR\\NetServer", "Alpha", 42), 0); // replaces a text in its place
    ASSERT_EQ(SetNumber("KXR\\New\\Deep", "Made", 1), 0);   // creates the tables
    const std::string written = Contents();
    EXPECT_NE(SetNumber("KXR\\NetServer\\Zeta", "Below", 1), 0); // a value as a key
    EXPECT_NE(SetNumber("KXR\\NetServer", "FileDirs", 1), 0);    // a key as a value
    EXPECT_NE(rvCFGValueString(RV_CFG_ROOT, "KXR", "Bad", badUtf8, nullptr, 1), 0);
    EXPECT_EQ(Contents(), written);
    const Listing server{{"Zeta", kNum}, {"Alpha", kNum}, {"Added", kStr}, {"FileDirs", kSub}};
    EXPECT_EQ(ListKey("KXR\\NetServer"), server);
    ASSERT_EQ(rvCFGOpen(file_.c_str()), 0); // what the store showed is what the file gives
    EXPECT_EQ(ListKey("KXR"), (Listing{{"NetServer", kSub}, {"Internal0", kSub}, {"New", kSub}}));
    EXPECT_EQ(ListKey("KXR\\NetServer"), server);
    EXPECT_EQ(ReadString("KXR\\NetServer", "Added"), "/var/www");
    EXPECT_TRUE(OnlyTheFile());
}

TEST_F(ConfigStore, RoundTripKeepsAwkwardFilesAndComments) {
    // A value after a sub-table, dotted and quoted keys, escapes, values the
    // store cannot read, arrays of tables, empty tables and whole-line comments.
    ASSERT_EQ(Open(R"(# top of file
[a.b]
[a]
  # before y
y = 2 # a note behind a value is not kept
z = "q\"uo\\te\ttab\u0001 é"
"key with space" = 1e300
[[a.runs]]
[[a.runs]]
n = 2
[a.empty]
# end of file
)"),
              0);
    const Listing a{{"b", kSub},      {"y", kNum},    {"z", kStr}, {"key with space", kOther},
                    {"runs", kOther}, {"empty", kSub}};
    EXPECT_EQ(ListKey("a"), a);
    ASSERT_EQ(SetNumber("a", "y", 9), 0);
    const std::string written = Contents();
    ASSERT_EQ(rvCFGOpen(file_.c_str()), 0) << written;
    EXPECT_EQ(ListKey("a"), a);
    EXPECT_EQ(ReadString("a", "z"), "q\"uo\\te\ttab\x01 \xC3\xA9");
    ASSERT_EQ(SetNumber("a", "y", 9), 0); // the writer is stable: comments are not doubled
    EXPECT_EQ(Contents(), written);
    // Comments stay in their places, notes behind a value go; unread values keep their text.
    EXPECT_TRUE(std::regex_search(written, std::regex("^# top of file\n[^]*# before y\ny = 9\n[^]*"
                                                      "= 1e\\+300[^]*n = 2[^]*# end of file\n$")))
        << written;
}

TEST_F(ConfigStore, MalformedMissingOrUnwritableFiles) {
    const std::string broken = "[KXR.NetServer]\nZeta = 80\nAlpha = \n";
    EXPECT_EQ(Open(broken), 1);
    ASSERT_EQ(sinkLines.size(), 1u);
    EXPECT_NE(sinkLines[0].find(file_ + ":3:"), std::string::npos) << sinkLines[0];
    EXPECT_NE(SetNumber("KXR\\NetServer", "Zeta", 1), 0);
    EXPECT_EQ(Contents(), broken);
    for (const std::string& text : std::vector<std::string>{
             "a = 1\na = 2\n", "[t]\n[t]\n", "x = \"open\n", "x = 1979-13-45\n",
             "x = \"\xFF\xFE\"\n", "a.b = 1\n[a.b]\n", std::string(5000, '[')}) {
        sinkLines.clear();
        EXPECT_EQ(Open(text), 1) << text.substr(0, 40);
        EXPECT_EQ(sinkLines.size(), 1u);
    }
    fs::remove(file_);
    sinkLines.clear();
    ASSERT_EQ(rvCFGOpen(file_.c_str()), 0); // missing file: empty store, no message
    EXPECT_TRUE(sinkLines.empty());
    ASSERT_EQ(rvCFGOpen((root_ / "no" / "kxr.toml").string().c_str()), 0);
    EXPECT_NE(SetNumber("KXR", "Zeta", 80), 0); // cannot save: the store is unchanged
    EXPECT_EQ(sinkLines.size(), 1u);
    EXPECT_EQ(rvCFGHasSubKey(RV_CFG_ROOT, "KXR"), 0);
    ASSERT_EQ(rvCFGOpen(""), 0);
    ASSERT_EQ(SetNumber("KXR", "Zeta", 80), 0);
    EXPECT_EQ(ListKey("KXR"), (Listing{{"Zeta", kNum}}));
    EXPECT_TRUE(fs::is_empty(root_));
    ASSERT_EQ(rvCFGOpen(file_.c_str()), 0); // choosing a file drops what was only in memory
    EXPECT_TRUE(ListKey("KXR").empty());
    fs::create_directories(file_); // unreadable: a directory where the file should be
    EXPECT_EQ(rvCFGOpen(file_.c_str()), 1);
    EXPECT_NE(SetNumber("K", "v", 1), 0);
}

TEST_F(ConfigStore, ConcurrentReadersAndWriter) {
    ASSERT_EQ(Open(kSample), 0);
    std::atomic<bool> failed{false};
    std::thread writer([&] {
        for (uint32_t i = 0; i < 200; ++i)
            failed = failed || SetNumber("KXR\\Counters", "Count", i) != 0;
    });
    for (int i = 0; i < 200; ++i)
        failed = failed || ReadString("KXR\\Internal0", "Dir") != "/rec";
    writer.join();
    EXPECT_FALSE(failed);
    uint32_t last = 0; // the last write wins
    EXPECT_TRUE(rvCFGValueDword(RV_CFG_ROOT, "KXR\\Counters", "Count", &last, 0) == 0 &&
                last == 199);
}

} // namespace

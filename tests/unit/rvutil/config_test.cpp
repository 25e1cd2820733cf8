#include "kxr/rvutil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::mutex sinkLock;
std::vector<std::string> sinkLines;

void CollectLine(uint32_t, const char* line) {
    std::lock_guard<std::mutex> hold(sinkLock);
    sinkLines.emplace_back(line);
}

using Listing = std::vector<std::pair<std::string, uint32_t>>;

Listing ListKey(const char* keyPath) {
    Listing entries;
    char name[RV_MAX_PATH];
    std::string previous;
    uint32_t type = 99;
    while (rvCFGGetNext(RV_CFG_ROOT, keyPath, name, previous.c_str(), &type) == 0) {
        entries.emplace_back(name, type);
        previous = name;
        if (entries.size() > 100) {
            break; // an enumeration that never ends is a fault, not a hang
        }
    }
    return entries;
}

std::string ReadString(const char* keyPath, const char* valueName) {
    char buffer[RV_MAX_PATH + 1] = "untouched";
    uint32_t size = sizeof buffer;
    if (rvCFGValueString(RV_CFG_ROOT, keyPath, valueName, buffer, &size, 0) != 0) {
        return "<missing>";
    }
    return buffer;
}

class ConfigStore : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               (std::string("rvcfg_") + info->test_suite_name() + "_" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        file_ = (dir_ / "kxr.toml").string();
        sinkLines.clear();
        rvSetErrSink(CollectLine);
    }
    void TearDown() override {
        rvSetErrSink(nullptr);
        rvCFGOpen(nullptr);
        fs::remove_all(dir_);
    }
    void Write(const std::string& text) { std::ofstream(file_, std::ios::binary) << text; }
    std::string Contents() const {
        std::ifstream in(file_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::vector<std::string> DirNames() const {
        std::vector<std::string> names;
        for (const auto& item : fs::directory_iterator(dir_)) {
            names.push_back(item.path().filename().string());
        }
        return names;
    }
    int32_t Open(const std::string& text) {
        Write(text);
        return rvCFGOpen(file_.c_str());
    }

    fs::path dir_;
    std::string file_;
};

const char kSample[] = R"(# host settings
[KXR.NetServer]
HTTPPort = 8080
HTTPPath = "/srv/www"
Zeta = 1
Alpha = "a"

[KXR.NetServer.FileDirs]
Media = "/srv/media"
Archive = "/srv/archive"
Clips = "/srv/clips"

[KXR.NetServer.FileDirs.Nested]
Inner = "x"

[KXR.Internal0]
Dir = "/rec"
)";

TEST_F(ConfigStore, EnumerationFollowsFileOrderNotAlphabet) {
    ASSERT_EQ(Open(kSample), 0);
    EXPECT_EQ(ListKey("KXR"),
              (Listing{{"NetServer", RV_CFG_TYPE_SUBKEY}, {"Internal0", RV_CFG_TYPE_SUBKEY}}));
    EXPECT_EQ(ListKey("KXR\\NetServer"), (Listing{{"HTTPPort", RV_CFG_TYPE_DWORD},
                                                  {"HTTPPath", RV_CFG_TYPE_STRING},
                                                  {"Zeta", RV_CFG_TYPE_DWORD},
                                                  {"Alpha", RV_CFG_TYPE_STRING},
                                                  {"FileDirs", RV_CFG_TYPE_SUBKEY}}));
    EXPECT_EQ(ListKey("KXR\\NetServer\\FileDirs"), (Listing{{"Media", RV_CFG_TYPE_STRING},
                                                            {"Archive", RV_CFG_TYPE_STRING},
                                                            {"Clips", RV_CFG_TYPE_STRING},
                                                            {"Nested", RV_CFG_TYPE_SUBKEY}}));
    EXPECT_TRUE(sinkLines.empty());
}

TEST_F(ConfigStore, EnumerationEdges) {
    ASSERT_EQ(Open(kSample), 0);
    char name[RV_MAX_PATH] = "keep";
    uint32_t type = 77;
    // A null previous name starts at the first entry, like an empty one.
    EXPECT_EQ(rvCFGGetNext(RV_CFG_ROOT, "KXR\\Internal0", name, nullptr, &type), 0u);
    EXPECT_STREQ(name, "Dir");
    EXPECT_EQ(type, RV_CFG_TYPE_STRING);
    struct Case {
        int32_t root;
        const char* key;
        const char* previous;
    };
    const Case ends[] = {
        {RV_CFG_ROOT, "KXR\\Internal0", "Dir"},   // after the last
        {RV_CFG_ROOT, "KXR\\Internal0", "Nope"},  // unknown previous name
        {RV_CFG_ROOT, "KXR\\Missing", ""},        // unknown key
        {RV_CFG_ROOT, "KXR\\Internal0\\Dir", ""}, // a value is not a key
        {0, "KXR\\Internal0", ""},                // only root -1 exists
        {-2, "KXR\\Internal0", ""},
    };
    for (const Case& c : ends) {
        SCOPED_TRACE(std::string(c.key) + " after " + c.previous);
        std::strcpy(name, "keep");
        EXPECT_EQ(rvCFGGetNext(c.root, c.key, name, c.previous, &type), RV_CFG_NO_ENTRY);
        EXPECT_STREQ(name, "keep");
    }
    // Empty segments are ignored.
    EXPECT_EQ(ListKey("\\KXR\\\\Internal0\\"), (Listing{{"Dir", RV_CFG_TYPE_STRING}}));
}

TEST_F(ConfigStore, SubKeyQueries) {
    ASSERT_EQ(Open(kSample), 0);
    struct Case {
        int32_t root;
        const char* path;
        bool subKey;
    };
    const Case cases[] = {
        {RV_CFG_ROOT, "KXR", true},
        {RV_CFG_ROOT, "KXR\\NetServer\\FileDirs", true},
        {RV_CFG_ROOT, "KXR\\NetServer\\FileDirs\\Nested", true},
        {RV_CFG_ROOT, "KXR\\NetServer\\FileDirs\\Media", false}, // a text value
        {RV_CFG_ROOT, "KXR\\NetServer\\HTTPPort", false},
        {RV_CFG_ROOT, "KXR\\NetServer\\Nothing", false},
        {RV_CFG_ROOT, "", false},
        {RV_CFG_ROOT, nullptr, false},
        {0, "KXR", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path ? c.path : "(null)");
        EXPECT_EQ(rvCFGHasSubKey(c.root, c.path) != 0, c.subKey);
    }
}

TEST_F(ConfigStore, TypesAndReads) {
    ASSERT_EQ(Open(R"(
[T]
small = 7
top = 4294967295
minus = -1
lowest = -2147483648
big = 4294967296
under = -2147483649
text = "hello"
real = 2.5
flag = true
list = [1, 2]
when = 1979-05-27
inline = { a = 1 }
)"),
              0);
    struct Case {
        const char* name;
        uint32_t type;
        bool dword;
        uint32_t value;
        bool text;
    };
    const Case cases[] = {
        {"small", RV_CFG_TYPE_DWORD, true, 7u, false},
        {"top", RV_CFG_TYPE_DWORD, true, 0xFFFFFFFFu, false},
        {"minus", RV_CFG_TYPE_DWORD, true, 0xFFFFFFFFu, false},
        {"lowest", RV_CFG_TYPE_DWORD, true, 0x80000000u, false},
        {"big", RV_CFG_TYPE_OTHER, false, 0, false},
        {"under", RV_CFG_TYPE_OTHER, false, 0, false},
        {"text", RV_CFG_TYPE_STRING, false, 0, true},
        {"real", RV_CFG_TYPE_OTHER, false, 0, false},
        {"flag", RV_CFG_TYPE_OTHER, false, 0, false},
        {"list", RV_CFG_TYPE_OTHER, false, 0, false},
        {"when", RV_CFG_TYPE_OTHER, false, 0, false},
        {"inline", RV_CFG_TYPE_SUBKEY, false, 0, false},
    };
    const Listing listed = ListKey("T");
    ASSERT_EQ(listed.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        EXPECT_EQ(listed[i], (std::pair<std::string, uint32_t>(c.name, c.type)));
        uint32_t value = 12345;
        EXPECT_EQ(rvCFGValueDword(RV_CFG_ROOT, "T", c.name, &value, 0) == 0, c.dword);
        EXPECT_EQ(value, c.dword ? c.value : 12345u); // untouched when refused
        char buffer[16] = "untouched";
        uint32_t size = sizeof buffer;
        EXPECT_EQ(rvCFGValueString(RV_CFG_ROOT, "T", c.name, buffer, &size, 0) == 0, c.text);
        EXPECT_STREQ(buffer, c.text ? "hello" : "untouched");
        EXPECT_EQ(size, c.text ? 6u : 16u);
    }
    EXPECT_EQ(rvCFGHasSubKey(RV_CFG_ROOT, "T\\inline"), 1);
    uint32_t value = 5;
    EXPECT_NE(rvCFGValueDword(RV_CFG_ROOT, "T", "absent", &value, 0), 0);
    EXPECT_NE(rvCFGValueDword(0, "T", "small", &value, 0), 0);
    EXPECT_EQ(value, 5u);
}

TEST_F(ConfigStore, ReadsCutToTheBuffer) {
    const std::string longText(300, 'p');
    const std::string longName(400, 'n');
    ASSERT_EQ(Open("[K]\nshort = \"abc\"\nlong = \"" + longText + "\"\n" + longName + " = 1\n"), 0);
    struct Case {
        const char* name;
        uint32_t capacity;
        size_t copied;
        uint32_t reported;
    };
    const Case cases[] = {
        {"short", 4, 3, 4},                                    // exactly fits
        {"short", 3, 2, 4},                                    // one too small: cut and terminated
        {"short", 1, 0, 4},     {"long", 0, RV_MAX_PATH, 301}, // 0 stands for RV_MAX_PATH + 1 bytes
        {"long", 100, 99, 301}, {"long", 400, 300, 301},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " capacity " + std::to_string(c.capacity));
        char buffer[512];
        std::memset(buffer, '#', sizeof buffer);
        uint32_t size = c.capacity;
        ASSERT_EQ(rvCFGValueString(RV_CFG_ROOT, "K", c.name, buffer, &size, 0), 0);
        EXPECT_EQ(std::strlen(buffer), c.copied);
        EXPECT_EQ(buffer[c.copied + 1], '#'); // nothing written past the terminator
        EXPECT_EQ(size, c.reported);
    }
    char buffer[RV_MAX_PATH + 2];
    std::memset(buffer, '#', sizeof buffer);
    ASSERT_EQ(rvCFGValueString(RV_CFG_ROOT, "K", "long", buffer, nullptr, 0), 0);
    EXPECT_EQ(std::strlen(buffer), static_cast<size_t>(RV_MAX_PATH));
    EXPECT_EQ(buffer[RV_MAX_PATH + 1], '#');

    // Names are cut to RV_MAX_PATH bytes too.
    std::memset(buffer, '#', sizeof buffer);
    ASSERT_EQ(rvCFGGetNext(RV_CFG_ROOT, "K", buffer, "long", nullptr), 0u);
    EXPECT_EQ(std::string(buffer), longName.substr(0, RV_MAX_PATH - 1));
    EXPECT_EQ(buffer[RV_MAX_PATH], '#');
}

TEST_F(ConfigStore, WriteBackKeepsTheRestOfTheFile) {
    ASSERT_EQ(Open(kSample), 0);
    uint32_t port = 80;
    ASSERT_EQ(rvCFGValueDword(RV_CFG_ROOT, "KXR\\NetServer", "HTTPPort", &port, 1), 0);
    char path[] = "/var/www";
    ASSERT_EQ(rvCFGValueString(RV_CFG_ROOT, "KXR\\NetServer", "Added", path, nullptr, 1), 0);
    uint32_t number = 42; // replaces a text value in its place
    ASSERT_EQ(rvCFGValueDword(RV_CFG_ROOT, "KXR\\NetServer", "Alpha", &number, 1), 0);

    // What the store shows now is what the file gives after a reload.
    const Listing before = ListKey("KXR\\NetServer");
    const Listing dirsBefore = ListKey("KXR\\NetServer\\FileDirs");
    EXPECT_EQ(before, (Listing{{"HTTPPort", RV_CFG_TYPE_DWORD},
                               {"HTTPPath", RV_CFG_TYPE_STRING},
                               {"Zeta", RV_CFG_TYPE_DWORD},
                               {"Alpha", RV_CFG_TYPE_DWORD},
                               {"Added", RV_CFG_TYPE_STRING},
                               {"FileDirs", RV_CFG_TYPE_SUBKEY}}));
    ASSERT_EQ(rvCFGOpen(file_.c_str()), 0);
    EXPECT_EQ(ListKey("KXR"),
              (Listing{{"NetServer", RV_CFG_TYPE_SUBKEY}, {"Internal0", RV_CFG_TYPE_SUBKEY}}));
    EXPECT_EQ(ListKey("KXR\\NetServer"), before);
    EXPECT_EQ(ListKey("KXR\\NetServer\\FileDirs"), dirsBefore);
    port = 0;
    EXPECT_EQ(rvCFGValueDword(RV_CFG_ROOT, "KXR\\NetServer", "HTTPPort", &port, 0), 0);
    EXPECT_EQ(port, 80u);
    EXPECT_EQ(ReadString("KXR\\NetServer", "Added"), "/var/www");
    EXPECT_EQ(ReadString("KXR\\NetServer\\FileDirs\\Nested", "Inner"), "x");
    EXPECT_EQ(ReadString("KXR\\Internal0", "Dir"), "/rec");
    // Nested tables are written as headers, and nothing is left beside the file.
    EXPECT_NE(Contents().find("[KXR.NetServer.FileDirs.Nested]"), std::string::npos);
    EXPECT_EQ(DirNames(), std::vector<std::string>{"kxr.toml"});
}

TEST_F(ConfigStore, WriteOfNewKeyCreatesTablesAndFile) {
    ASSERT_EQ(rvCFGOpen(file_.c_str()), 0); // missing file: empty store, no message
    EXPECT_TRUE(ListKey("").empty());
    EXPECT_TRUE(sinkLines.empty());
    EXPECT_FALSE(fs::exists(file_));
    uint32_t port = 80;
    ASSERT_EQ(rvCFGValueDword(RV_CFG_ROOT, "KXR\\NetServer", "HTTPPort", &port, 1), 0);
    char media[] = "/srv/media";
    ASSERT_EQ(rvCFGValueString(RV_CFG_ROOT, "KXR\\NetServer\\FileDirs", "Media", media, nullptr, 1),
              0);
    EXPECT_EQ(DirNames(), std::vector<std::string>{"kxr.toml"});
    ASSERT_EQ(rvCFGOpen(file_.c_str()), 0);
    EXPECT_EQ(ListKey("KXR\\NetServer"),
              (Listing{{"HTTPPort", RV_CFG_TYPE_DWORD}, {"FileDirs", RV_CFG_TYPE_SUBKEY}}));
    EXPECT_EQ(ReadString("KXR\\NetServer\\FileDirs", "Media"), "/srv/media");
    EXPECT_EQ(rvCFGHasSubKey(RV_CFG_ROOT, "KXR\\NetServer\\FileDirs"), 1);
}

TEST_F(ConfigStore, WritesThatMustFail) {
    ASSERT_EQ(Open(kSample), 0);
    const std::string original = Contents();
    uint32_t value = 1;
    char text[] = "x";
    char badUtf8[] = "caf\xE9";
    EXPECT_NE(rvCFGValueDword(RV_CFG_ROOT, "KXR\\NetServer\\HTTPPort", "Below", &value, 1), 0);
    EXPECT_NE(rvCFGValueDword(RV_CFG_ROOT, "KXR\\NetServer", "FileDirs", &value, 1), 0);
    EXPECT_NE(rvCFGValueDword(RV_CFG_ROOT, "KXR\\NetServer", "", &value, 1), 0);
    EXPECT_NE(rvCFGValueDword(0, "KXR\\NetServer", "HTTPPort", &value, 1), 0);
    EXPECT_NE(rvCFGValueString(RV_CFG_ROOT, "KXR", "Bad", badUtf8, nullptr, 1), 0);
    EXPECT_NE(rvCFGValueString(RV_CFG_ROOT, "KXR", badUtf8, text, nullptr, 1), 0);
    EXPECT_EQ(Contents(), original);
    EXPECT_EQ(rvCFGHasSubKey(RV_CFG_ROOT, "KXR\\NetServer\\FileDirs"), 1);
}

TEST_F(ConfigStore, RoundTripKeepsAwkwardFiles) {
    // A value after a sub-table, dotted keys, quoted keys, escapes, floats,
    // arrays of tables and empty tables must all come back in their places.
    ASSERT_EQ(Open(R"(top = "t"
[a.b]
x = 1
[a]
y = 2
d.e = 3
z = "q\"uo\\te\ttab\u0001 é"
"key with space" = 0.1
three = 3.0
huge = 1e300
when = 2024-01-02T03:04:05Z
list = [1, "two", [3]]
[[a.runs]]
n = 1
[[a.runs]]
n = 2
[a.empty]
[c]
)"),
              0);
    const std::vector<std::string> keys = {"", "a", "a\\b", "a\\d", "a\\empty", "c"};
    std::vector<Listing> before;
    for (const auto& key : keys) {
        before.push_back(ListKey(key.c_str()));
    }
    EXPECT_EQ(before[1], (Listing{{"b", RV_CFG_TYPE_SUBKEY},
                                  {"y", RV_CFG_TYPE_DWORD},
                                  {"d", RV_CFG_TYPE_SUBKEY},
                                  {"z", RV_CFG_TYPE_STRING},
                                  {"key with space", RV_CFG_TYPE_OTHER},
                                  {"three", RV_CFG_TYPE_OTHER},
                                  {"huge", RV_CFG_TYPE_OTHER},
                                  {"when", RV_CFG_TYPE_OTHER},
                                  {"list", RV_CFG_TYPE_OTHER},
                                  {"runs", RV_CFG_TYPE_OTHER},
                                  {"empty", RV_CFG_TYPE_SUBKEY}}));
    uint32_t value = 9;
    ASSERT_EQ(rvCFGValueDword(RV_CFG_ROOT, "a", "added", &value, 1), 0);
    const std::string firstWrite = Contents();
    ASSERT_EQ(rvCFGOpen(file_.c_str()), 0) << firstWrite;
    EXPECT_TRUE(sinkLines.empty());
    for (size_t i = 0; i < keys.size(); ++i) {
        SCOPED_TRACE(keys[i]);
        Listing expected = before[i];
        if (keys[i] == "a") {
            expected.insert(expected.begin() + 10, {"added", RV_CFG_TYPE_DWORD});
        }
        EXPECT_EQ(ListKey(keys[i].c_str()), expected);
    }
    EXPECT_EQ(ReadString("a", "z"), "q\"uo\\te\ttab\x01 \xC3\xA9");
    // Writing the reloaded store again gives the same text: the writer is stable.
    ASSERT_EQ(rvCFGValueDword(RV_CFG_ROOT, "a", "added", &value, 1), 0);
    EXPECT_EQ(Contents(), firstWrite);
    // Values the store cannot read keep their exact values.
    for (const char* literal : {"\"key with space\" = 0.1", "three = 3.0", "huge = 1e+300",
                                "when = 2024-01-02T03:04:05Z", "n = 2"}) {
        EXPECT_NE(firstWrite.find(literal), std::string::npos) << literal << "\n" << firstWrite;
    }
}

TEST_F(ConfigStore, WholeLineCommentsSurviveWrites) {
    ASSERT_EQ(Open(R"(# top of file
[KXR.NetServer]
  # the port
HTTPPort = 8080 # a note behind a value is not kept
notes = """
# inside a string, not a comment
"""

# media roots
[KXR.NetServer.FileDirs]
Media = "/m"

# end of file
)"),
              0);
    char path[] = "/srv/www";
    ASSERT_EQ(rvCFGValueString(RV_CFG_ROOT, "KXR\\NetServer", "HTTPPath", path, nullptr, 1), 0);
    uint32_t port = 9090; // a replaced value keeps its comment
    ASSERT_EQ(rvCFGValueDword(RV_CFG_ROOT, "KXR\\NetServer", "HTTPPort", &port, 1), 0);
    const std::string written = Contents();
    const char* inOrder[] = {"# top of file\n[KXR.NetServer]\n# the port\nHTTPPort = 9090\n",
                             "notes = \"# inside a string, not a comment\\n\"\n",
                             "HTTPPath = \"/srv/www\"\n",
                             "# media roots\n[KXR.NetServer.FileDirs]\n", "# end of file\n"};
    size_t from = 0;
    for (const char* piece : inOrder) {
        const size_t at = written.find(piece, from);
        ASSERT_NE(at, std::string::npos) << piece << "\n---\n" << written;
        from = at + std::strlen(piece);
    }
    EXPECT_EQ(written.find("a note"), std::string::npos);
    // Reloading and writing again changes nothing: comments are not doubled.
    ASSERT_EQ(rvCFGOpen(file_.c_str()), 0);
    ASSERT_EQ(rvCFGValueString(RV_CFG_ROOT, "KXR\\NetServer", "HTTPPath", path, nullptr, 1), 0);
    EXPECT_EQ(Contents(), written);
}

TEST_F(ConfigStore, MalformedFileIsReportedAndNeverOverwritten) {
    const std::string broken = "[KXR.NetServer]\nHTTPPort = 80\nHTTPPath = \n";
    EXPECT_EQ(Open(broken), 1);
    ASSERT_EQ(sinkLines.size(), 1u);
    const std::string& line = sinkLines[0];
    EXPECT_NE(line.find(file_ + ":3:"), std::string::npos) << line;
    const size_t newline = line.find('\n');
    EXPECT_TRUE(newline == std::string::npos || newline + 1 == line.size()) << line;
    EXPECT_NE(line.find("expected value"), std::string::npos) << line; // the parser's reason
    EXPECT_TRUE(ListKey("").empty());
    uint32_t port = 1;
    EXPECT_NE(rvCFGValueDword(RV_CFG_ROOT, "KXR\\NetServer", "HTTPPort", &port, 0), 0);
    EXPECT_NE(rvCFGValueDword(RV_CFG_ROOT, "KXR\\NetServer", "HTTPPort", &port, 1), 0);
    EXPECT_EQ(Contents(), broken);
    EXPECT_EQ(DirNames(), std::vector<std::string>{"kxr.toml"});
    EXPECT_EQ(sinkLines.size(), 1u);

    // A good file makes the store writable again.
    EXPECT_EQ(Open("[KXR]\n"), 0);
    EXPECT_EQ(rvCFGValueDword(RV_CFG_ROOT, "KXR\\NetServer", "HTTPPort", &port, 1), 0);
}

TEST_F(ConfigStore, MalformedInputsNeverCrash) {
    const std::string cases[] = {
        "a = 1\na = 2\n", // duplicate key
        "[t]\n[t]\n",     // table defined twice
        "x = \"unterminated\n",
        "x = 1979-13-45\n",
        std::string("x = \"\xFF\xFE\"\n"), // not UTF-8
        std::string(5000, '['),
        "a.b = 1\n[a.b]\n",
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text.substr(0, 40));
        sinkLines.clear();
        EXPECT_EQ(Open(text), 1);
        EXPECT_EQ(sinkLines.size(), 1u);
        EXPECT_TRUE(ListKey("").empty());
    }
}

TEST_F(ConfigStore, UnreadableFileRefusesWrites) {
    fs::create_directories(file_); // a directory where the file should be
    EXPECT_EQ(rvCFGOpen(file_.c_str()), 1);
    EXPECT_EQ(sinkLines.size(), 1u);
    uint32_t value = 1;
    EXPECT_NE(rvCFGValueDword(RV_CFG_ROOT, "K", "v", &value, 1), 0);
    EXPECT_TRUE(fs::is_directory(file_));
}

TEST_F(ConfigStore, FailedSaveLeavesStoreUnchanged) {
    const std::string missingDir = (dir_ / "no" / "such" / "kxr.toml").string();
    ASSERT_EQ(rvCFGOpen(missingDir.c_str()), 0);
    uint32_t value = 80;
    EXPECT_NE(rvCFGValueDword(RV_CFG_ROOT, "KXR\\NetServer", "HTTPPort", &value, 1), 0);
    EXPECT_EQ(sinkLines.size(), 1u);
    EXPECT_EQ(rvCFGHasSubKey(RV_CFG_ROOT, "KXR"), 0);
    EXPECT_NE(rvCFGValueDword(RV_CFG_ROOT, "KXR\\NetServer", "HTTPPort", &value, 0), 0);
}

TEST_F(ConfigStore, MemoryOnlyStoreWithoutFile) {
    ASSERT_EQ(rvCFGOpen(""), 0);
    uint32_t value = 80;
    ASSERT_EQ(rvCFGValueDword(RV_CFG_ROOT, "KXR\\NetServer", "HTTPPort", &value, 1), 0);
    value = 0;
    EXPECT_EQ(rvCFGValueDword(RV_CFG_ROOT, "KXR\\NetServer", "HTTPPort", &value, 0), 0);
    EXPECT_EQ(value, 80u);
    EXPECT_EQ(DirNames(), std::vector<std::string>{});
    // Choosing a file drops what was only in memory.
    ASSERT_EQ(rvCFGOpen(file_.c_str()), 0);
    EXPECT_NE(rvCFGValueDword(RV_CFG_ROOT, "KXR\\NetServer", "HTTPPort", &value, 0), 0);
}

TEST_F(ConfigStore, ConcurrentReadersAndWriter) {
    ASSERT_EQ(Open(kSample), 0);
    std::atomic<bool> failed{false};
    std::thread writer([&] {
        for (uint32_t i = 0; i < 200; ++i) {
            uint32_t v = i;
            if (rvCFGValueDword(RV_CFG_ROOT, "KXR\\Counters", "Count", &v, 1) != 0) {
                failed = true;
            }
        }
    });
    std::thread reader([&] {
        for (int i = 0; i < 200; ++i) {
            if (ListKey("KXR\\NetServer\\FileDirs").size() != 4 ||
                ReadString("KXR\\Internal0", "Dir") != "/rec") {
                failed = true;
            }
        }
    });
    writer.join();
    reader.join();
    EXPECT_FALSE(failed);
    uint32_t last = 0;
    EXPECT_EQ(rvCFGValueDword(RV_CFG_ROOT, "KXR\\Counters", "Count", &last, 0), 0);
    EXPECT_EQ(last, 199u);
    EXPECT_EQ(DirNames(), std::vector<std::string>{"kxr.toml"});
}

} // namespace

// File roots read from a real configuration file, and the translations and
// sequence forms on a temporary tree.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files/file_roots.h"
#include "kxr/rvutil.h"
#include "module/check_virtual.h"
#include "platform/kxr_path.h"

namespace fs = std::filesystem;
using kxr::platform::kPathSeparator;

namespace {

void WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

const std::string kSep(1, kPathSeparator);
// The record directory on a share: without a drive letter it is used as given
// on every platform, and no local path lies below it.
const std::string kRecordDir = "\\\\srv\\rec";

// Roots reloaded from a configuration written for each test.
class FileRoots : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kxr_roots_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "media" / "clips");
        fs::create_directories(dir_ / "trail");
        fs::create_directories(dir_ / "abs");
        WriteFile(dir_ / "media" / "clips" / "a.mov", "movie");
        // A root matches before a longer name that it is a prefix of.
        Load("[KXR.Internal0]\nDir = '" + kRecordDir + "'\n\n[KXR.NetServer.FileDirs]\nMedia = '" +
             Dir("media") + "'\nMediaTwo = '" + Dir("trail") + "'\n\"Trail\\\\\" = '" +
             Dir("trail") + kSep + "'\n\"\\\\Abs\" = '" + Dir("abs") + "'\nNotDir = '" +
             Dir("media/clips/a.mov") + "'\nMissing = '" + Dir("missing") +
             "'\nNumber = 5\n\n[KXR.NetServer.FileDirs.Sub]\nx = '" + Dir("abs") + "'\n");
    }
    void TearDown() override {
        kxr::FreeFileRoots(nullptr);
        rvCFGOpen(nullptr);
        kxr::LoadFileRoots(nullptr);
        fs::remove_all(dir_);
    }
    void Load(const std::string& toml) {
        WriteFile(dir_ / "kxr.toml", toml);
        ASSERT_EQ(rvCFGOpen((dir_ / "kxr.toml").string().c_str()), 0);
        kxr::FreeFileRoots(nullptr);
        kxr::LoadFileRoots(nullptr);
    }
    std::string Dir(const std::string& sub) const { return (dir_ / sub).string(); }
    // The root's local path as the table spells it.
    std::string Media() const { return Dir("media") + kSep; }
    std::vector<std::pair<std::string, std::string>> Roots() const {
        std::vector<std::pair<std::string, std::string>> roots;
        for (RVListNode* n = rv_ListHead(kxr::FileRootList()); n != nullptr; n = rv_ListNext(n)) {
            const auto* root = static_cast<const kxr::FileRoot*>(n->item);
            roots.emplace_back(root->name, root->path);
            EXPECT_EQ(root->made, 1u);
        }
        return roots;
    }
    fs::path dir_;
};

TEST_F(FileRoots, TableKeepsOrderSkipsNonDirectoriesAndSubKeys) {
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"\\RecordDrive", kRecordDir}, // used as given, no separator added
        {"\\Media", Media()},
        {"\\MediaTwo", Dir("trail") + kSep},
        {"\\Trail", Dir("trail") + kSep},
        {"\\Abs", Dir("abs") + kSep},
    };
    EXPECT_EQ(Roots(), expected);
    // A second load changes nothing.
    kxr::LoadFileRoots(nullptr);
    EXPECT_EQ(Roots().size(), expected.size());
}

TEST_F(FileRoots, RecordDriveIsCutToItsDriveRoot) {
    Load("[KXR.Internal0]\nDir = 'E:\\Record\\Clips'\n");
    EXPECT_EQ(Roots(),
              (std::vector<std::pair<std::string, std::string>>{{"\\RecordDrive", "E:" + kSep}}));
    Load("[KXR.Internal0]\nDir = '\\\\srv\\rec'\n");
    EXPECT_EQ(Roots(), (std::vector<std::pair<std::string, std::string>>{
                           {"\\RecordDrive", "\\\\srv\\rec"}}));
    Load("");
    EXPECT_TRUE(Roots().empty());
}

TEST_F(FileRoots, LocatorsMapToLocalPaths) {
    struct Row {
        std::string in;
        std::string out;
        int32_t matched;
    };
    const std::string m = Media();
    const Row rows[] = {
        {"\\Media\\clips\\a.mov", m + "clips" + kSep + "a.mov", 1},
        {"\\Media", m, 1},
        {"\\Media\\", m, 1},
        // The character after the name is dropped whatever it is.
        {"\\Mediax\\a", m + kSep + "a", 1},
        {"\\MediaTwo\\a", m + "wo" + kSep + "a", 1},
        {"\\Abs\\x", Dir("abs") + kSep + "x", 1},
        {"\\RecordDrive\\x.mov", kRecordDir + "x.mov", 1},
        {"\\media\\a.mov", "\\media\\a.mov", 0},
        {"\\Nope\\a.mov", "\\Nope\\a.mov", 0},
        {"\\Media\\seq\\clip[0001-0100].dpx", m + "seq" + kSep + "clip0001.dpx", 1},
        {"\\Nope\\clip[0001-0100].dpx", "\\Nope\\clip0001.dpx", 0},
    };
    for (const Row& row : rows) {
        char text[260] = {};
        std::strcpy(text, row.in.c_str());
        EXPECT_EQ(kxr::MapLocatorToPath(nullptr, text, sizeof text), row.matched) << row.in;
        EXPECT_EQ(std::string(text), row.out) << row.in;
    }
}

TEST_F(FileRoots, SecondTextIsCarriedAndInnerFileNameMapped) {
    char text[260] = {};
    std::memcpy(text, "\\Media\\a.mov\0second", 19);
    ASSERT_EQ(kxr::MapLocatorToPath(nullptr, text, sizeof text), 1);
    const std::string first = Media() + "a.mov";
    EXPECT_EQ(std::string(text), first);
    EXPECT_STREQ(text + first.size() + 1, "second");

    // A MediaCmd text area: clip name field, then the file name at 9.
    char area[260] = {};
    std::memcpy(area, "CLIP1", 5);
    std::strcpy(area + 9, "\\Media\\b[0003-0009].dpx");
    ASSERT_EQ(kxr::MapLocatorToPath(nullptr, area, sizeof area), 1);
    EXPECT_STREQ(area, "CLIP1");
    // Only the text itself has its range collapsed.
    EXPECT_EQ(std::string(area + 9), Media() + "b[0003-0009].dpx");
}

TEST_F(FileRoots, PathsMapBackToLocators) {
    const std::string m = Media();
    const std::pair<std::string, std::string> rows[] = {
        {m + "clips" + kSep + "a.mov", "\\Media\\clips\\a.mov"},
        {m, "\\Media\\"},
        {"/elsewhere/a.mov", "/elsewhere/a.mov"},
        {Dir("abs") + kSep + "x", "\\Abs\\x"},
    };
    for (const auto& [in, out] : rows) {
        char text[260] = {};
        std::strcpy(text, in.c_str());
        EXPECT_EQ(kxr::MapPathToLocator(nullptr, text, sizeof text), 0);
        EXPECT_EQ(std::string(text), out) << in;
        EXPECT_EQ(kxr::MapLocatorToPath(nullptr, text, sizeof text), out[0] == '\\' ? 1 : 0);
        EXPECT_EQ(std::string(text), in) << "round trip of " << out;
    }
}

TEST_F(FileRoots, OverlongResultsAreCutToTheirRoom) {
    constexpr size_t kRoom = 40;
    char buffer[kRoom + 8];
    std::memset(buffer, '#', sizeof buffer);
    const std::string locator = "\\Media\\" + std::string(30, 'x');
    std::memcpy(buffer, locator.c_str(), locator.size() + 1);
    EXPECT_EQ(kxr::MapLocatorToPath(nullptr, buffer, kRoom), 1);
    EXPECT_EQ(std::string(buffer), (Media() + std::string(30, 'x')).substr(0, kRoom - 1));
    EXPECT_EQ(std::string(buffer + kRoom, 8), std::string(8, '#'));

    // The work room bounds a large buffer too.
    std::vector<char> large(700, '\0');
    const std::string longLocator = "\\Media\\" + std::string(600, 'z');
    std::memcpy(large.data(), longLocator.c_str(), longLocator.size() + 1);
    kxr::MapLocatorToPath(nullptr, large.data(), large.size());
    EXPECT_EQ(std::strlen(large.data()), kxr::kMapWorkSize - 1);

    std::string text(300, 'a');
    text[0] = '/';
    kxr::NormalizeVirtualPath(nullptr, text.data());
    EXPECT_EQ(std::strlen(text.c_str()), kxr::kReplaceWorkSize - 1);
    EXPECT_EQ(text[0], '\\');

    char range[24];
    std::memset(range, '#', sizeof range);
    std::strcpy(range, "seq/clip000123.dpx");
    EXPECT_EQ(kxr::SequenceRangePath(nullptr, range, 20), 123u);
    EXPECT_EQ(std::string(range), std::string("seq/clip[000123-000123].dpx").substr(0, 19));
    EXPECT_EQ(std::string(range + 20, 4), "####");
}

TEST_F(FileRoots, CheckVirtualServesFilesBelowARoot) {
    char path[256] = "/Media/clips/a.mov";
    EXPECT_EQ(kxr::kxrCheckVirtual(path), 1);
    EXPECT_EQ(std::string(path), Media() + "clips" + kSep + "a.mov");
    char missing[256] = "/Media/clips/none%20here.mov";
    EXPECT_EQ(kxr::kxrCheckVirtual(missing), 0);
    EXPECT_EQ(std::string(missing), Media() + "clips" + kSep + "none here.mov");
    char outside[256] = "/Nope/clip[0001-0002].dpx";
    EXPECT_EQ(kxr::kxrCheckVirtual(outside), 0);
    EXPECT_STREQ(outside, "\\Nope\\clip0001.dpx");
}

// A null pattern stands for NormalizeVirtualPath.
TEST(RequestText, ReplaceAndNormalize) {
    const struct {
        const char* in;
        const char* pattern;
        char character;
        const char* out;
    } rows[] = {
        {"a%5Cb%5C", "%5C", '\\', "a\\b\\"},
        {"abb", "ab", 'a', "a"}, // the written character is searched again
        {"aaa", "a", 'a', "aaa"},
        {"abc", "", 'y', "abc"},
        {"/Media/clip%20one.mov", nullptr, 0, "\\Media\\clip one.mov"},
        {"Media%5Cclips%5Ca.mov", nullptr, 0, "Media\\clips\\a.mov"},
        {"Media%5cclips", nullptr, 0, "Media%5cclips"},
        {"%%2020", nullptr, 0, "% 20"},
    };
    for (const auto& row : rows) {
        char text[64] = {};
        std::strcpy(text, row.in);
        EXPECT_EQ(row.pattern != nullptr ? kxr::ReplaceText(text, row.pattern, row.character)
                                         : kxr::NormalizeVirtualPath(nullptr, text),
                  0);
        EXPECT_STREQ(text, row.out) << row.in;
    }
}

TEST(SequenceForms, FramePathAndRangePath) {
    const struct {
        const char* in;
        int32_t which;
        const char* out;
        int32_t done;
    } frames[] = {
        {"clip[0001-0100].dpx", 1, "clip0100.dpx", 1},
        {"clip[0001-0100].dpx", 0, "clip0001.dpx", 1},
        {"dir[1-2]x/clip.dpx", 0, "dir1x/clip.dpx", 1},
        {"clip[0001.dpx", 0, "clip[0001.dpx", 0},
        {"a-b]/clip[7.dpx", 0, "a-b]/clip[7.dpx", 0},
        {"c[1-2].picon.jpg", 0, "c[1-2].picon.jpg", 0},
    };
    for (const auto& row : frames) {
        char text[64] = {};
        std::strcpy(text, row.in);
        EXPECT_EQ(kxr::SequenceFramePath(nullptr, text, row.which), row.done) << row.in;
        EXPECT_STREQ(text, row.out) << row.in;
    }

    const struct {
        const char* in;
        const char* out;
        uint32_t frame;
    } ranges[] = {
        {"clip12.dpx", "clip[12-12].dpx", 12},
        {"clip0.dpx", "clip[0-0].dpx", 0},
        {"clip000123.dpx", "clip[000123-000123].dpx", 123},
        {"D:\\s\\clip0005.dpx", "D:\\s\\clip[0005-0005].dpx", 5},
        {"c0000001000000000.dpx", "c[0000001000000000-0000001000000000].dpx", 1000000000},
        {"c4294967295.dpx", "c[4294967295-4294967295].dpx", 4294967295u},
    };
    for (const auto& row : ranges) {
        char text[96] = {};
        std::strcpy(text, row.in);
        EXPECT_EQ(kxr::SequenceRangePath(nullptr, text, sizeof text), row.frame) << row.in;
        EXPECT_STREQ(text, row.out) << row.in;
    }
}

TEST(SequenceForms, MembersAndWildcardsOnRealFiles) {
    const fs::path dir = fs::temp_directory_path() / "kxr_seq_forms";
    fs::remove_all(dir);
    const std::string dpx = "SDPX" + std::string(2044, '\0');
    WriteFile(dir / "clip0005.dpx", dpx);
    WriteFile(dir / "still.dpx", dpx);
    WriteFile(dir / "take0001.mov", std::string("\0\0\0\x14"
                                                "ftypqt  ",
                                                12) +
                                        std::string(64, '\0'));
    WriteFile(dir / "clip0005.picon.jpg", "\xFF\xD8\xFF\xE0");
    const struct {
        std::string name;
        int32_t member;
        std::string wildcard;
    } rows[] = {
        {"clip0005.dpx", 1, "clip*.dpx"},    {"still.dpx", 0, "still.dpx"},
        {"take0001.mov", 0, "take0001.mov"}, {"clip0005.picon.jpg", 0, "clip0005.picon.jpg"},
        {"gone0001.dpx", 0, "gone0001.dpx"},
    };
    for (const auto& row : rows) {
        const std::string path = (dir / row.name).string();
        EXPECT_EQ(kxr::IsSequenceMember(nullptr, path.c_str()), row.member) << row.name;
        char text[260] = {};
        std::strcpy(text, path.c_str());
        EXPECT_EQ(kxr::SequenceWildcardPath(nullptr, text, sizeof text), 0);
        EXPECT_EQ(std::string(text), (dir / row.wildcard).string()) << row.name;
    }
    fs::remove_all(dir);
}

} // namespace

// Directory scans of temporary trees: sorting, hidden names, sequence
// grouping in the orders the directory search delivers, and range bounds.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files/dir_scan.h"
#include "files/file_roots.h"
#include "kxr/reelio.h"
#include "kxr/rvutil.h"

namespace fs = std::filesystem;

namespace {

class DirScan : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kxr_scan_" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        rv_ListInit(&cache_.entries);
    }
    void TearDown() override {
        kxr::ClearDirCache(nullptr, &cache_);
        rv_ListClose(&cache_.entries);
        fs::remove_all(dir_);
    }
    // Names ending in "/" are made as directories.
    void Make(const std::vector<std::string>& names) {
        for (const std::string& name : names)
            name.back() == '/' ? (void)fs::create_directories(dir_ / name)
                               : (void)std::ofstream(dir_ / name).put('x');
    }
    int32_t Scan(std::string locator = "\\T") {
        const std::string real = dir_.string() + "/";
        return kxr::ScanDirectory(nullptr, &cache_, real.c_str(), locator);
    }
    std::vector<std::string> Locators() {
        std::vector<std::string> out;
        for (RVListNode* n = rv_ListHead(&cache_.entries); n != nullptr; n = rv_ListNext(n))
            out.push_back(static_cast<kxr::DirEntry*>(n->item)->locator);
        return out;
    }
    kxr::DirEntry* Last() { return static_cast<kxr::DirEntry*>(cache_.entries.tail->item); }

    fs::path dir_;
    kxr::DirCache cache_{};
};

struct ScanCase {
    const char* what;
    std::vector<std::string> files;
    std::vector<std::string> listed; // after the parent entry
};

TEST_F(DirScan, ListsSortedAndGroupsSequences) {
    const std::vector<ScanCase> cases = {
        {"mixed",
         {"clip0002.dpx", "B.mov", "clip0001.dpx", "a.mov", "clip0003.dpx"},
         {"a.mov", "B.mov", "clip[0001-0003].dpx"}},
        {"gaps",
         {"clip0001.dpx", "clip0002.dpx", "clip0005.dpx", "clip0009.dpx"},
         {"clip[0001-0009].dpx"}},
        // Delivered as f10, f3, f5: the lower bound moves down.
        {"arrival", {"f5.dpx", "f10.dpx", "f3.dpx"}, {"f[3-10].dpx"}},
        // Delivered as clip0005, clip03, clip1000: each bound keeps its zeros.
        {"zeros", {"clip0005.dpx", "clip1000.dpx", "clip03.dpx"}, {"clip[03-1000].dpx"}},
        {"single", {"shot0042.dpx", "a.mov"}, {"a.mov", "shot0042.dpx"}},
        {"movies", {"take1.mov", "take2.mov"}, {"take1.mov", "take2.mov"}},
        {"hidden", {".hidden.txt", "my.dir/", ".git/", "b.txt"}, {"b.txt", "my.dir"}},
        {"thumbnail",
         {"clip.picon.jpg", "clip1.dpx", "clip2.dpx"},
         {"clip.picon.jpg", "clip[1-2].dpx"}},
        // ab1x1 arrives between the frames of ab and starts a group of its own.
        {"interleaved", {"ab1.dpx", "ab1x1.dpx", "ab2.dpx"}, {"ab1x1.dpx", "ab[1-2].dpx"}},
        // Sequence keys compare exactly.
        {"case", {"Clip1.dpx", "clip2.dpx"}, {"Clip1.dpx", "clip2.dpx"}},
        {"empty", {}, {}},
    };
    for (const ScanCase& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        Make(c.files);
        ASSERT_EQ(Scan(), 1);
        std::vector<std::string> expected = {"\\T\\.."};
        for (const std::string& name : c.listed)
            expected.push_back("\\T\\" + name);
        EXPECT_EQ(Locators(), expected);
    }
}

TEST_F(DirScan, NamesBelowTheDotSortBeforeTheParent) {
    Make({"-early.txt", " space.txt", "z.txt"});
    ASSERT_EQ(Scan(), 1);
    EXPECT_EQ(Locators(), (std::vector<std::string>{"\\T\\ space.txt", "\\T\\-early.txt", "\\T\\..",
                                                    "\\T\\z.txt"}));
}

TEST_F(DirScan, SequenceEntryKeepsPathsAndBounds) {
    Make({"clip0007.dpx", "clip0003.dpx", "clip0005.dpx"});
    ASSERT_EQ(Scan("\\T"), 1);
    kxr::DirEntry* seq = Last();
    const std::string real = dir_.string() + "/";
    EXPECT_EQ(std::string(seq->path), real + "clip[0003-0007].dpx");
    EXPECT_TRUE(seq->firstFrame == 3u && seq->lastFrame == 7u);
    ASSERT_NE(seq->singlePath, nullptr);
    EXPECT_EQ(std::string(seq->singlePath), real + "clip0003.dpx");
    EXPECT_EQ(std::string(cache_.locator) + "|" + cache_.realPath, "\\T\\|" + real);

    // A lone frame goes back to its own path and loses its single path.
    TearDown();
    SetUp();
    Make({"shot0042.dpx"});
    ASSERT_EQ(Scan(), 1);
    EXPECT_EQ(std::string(Last()->path), dir_.string() + "/shot0042.dpx");
    EXPECT_EQ(Last()->singlePath, nullptr);
}

TEST_F(DirScan, LongRunsNeedAboutOneComparisonPerFrame) {
    std::vector<std::string> names = {"a.mov", "z.mov"};
    for (int i = 1; i <= 300; ++i)
        names.push_back("frame" + std::to_string(i) + ".tif");
    Make(names);
    ASSERT_EQ(Scan(), 1);
    EXPECT_EQ(Locators().back(), "\\T\\z.mov");
    EXPECT_EQ(Locators()[2], "\\T\\frame[1-300].tif");
    const kxr::ScanCounters counters = kxr::LastScanCounters();
    EXPECT_EQ(counters.files, 302u);
    // One comparison per frame after the first, plus a short walk for the first.
    EXPECT_LE(counters.keyComparisons, 300u + 3u);
}

TEST_F(DirScan, RescanSeesChangedFiles) {
    Make({"clip1.dpx", "clip2.dpx"});
    ASSERT_EQ(Scan(), 1);
    EXPECT_EQ(Locators().back(), "\\T\\clip[1-2].dpx");
    // The remembered probes must not hide a file that changed type. The
    // group sorted after clip2.dpx before it fell back to clip1.dpx.
    std::ofstream(dir_ / "clip2.dpx") << "not a picture, longer than sixteen bytes";
    ASSERT_EQ(Scan(), 1);
    EXPECT_EQ(Locators(),
              (std::vector<std::string>{"\\T\\..", "\\T\\clip2.dpx", "\\T\\clip1.dpx"}));
}

TEST_F(DirScan, UnsearchableDirectoryKeepsItsTextsAndNoEntries) {
    std::string locator = "\\T\\gone";
    const std::string real = (dir_ / "gone").string() + "/";
    EXPECT_EQ(kxr::ScanDirectory(nullptr, &cache_, real.c_str(), locator), 0);
    EXPECT_EQ(rv_ListCount(&cache_.entries), 0u);
    EXPECT_EQ(locator + "|" + cache_.locator + "|" + cache_.realPath,
              "\\T\\gone\\|\\T\\gone\\|" + real);
}

TEST_F(DirScan, DecodesTextsButFallsBackWithTheLocatorAsGiven) {
    Make({"a b.mov", "shot7.dpx"});
    std::string locator = "\\T%20x";
    const std::string real = dir_.string() + "/";
    ASSERT_EQ(kxr::ScanDirectory(nullptr, &cache_, real.c_str(), locator), 1);
    EXPECT_EQ(Locators(),
              (std::vector<std::string>{"\\T x\\..", "\\T x\\a b.mov", "\\T%20x\\shot7.dpx"}));
}

TEST(RangeBounds, ReplaceOneNumberOfTheRange) {
    struct Row {
        const char* path;
        const char* digits;
        bool first;
        const char* expected;
    } rows[] = {
        {"D:\\s\\clip[0005-0009].dpx", "0003", true, "D:\\s\\clip[0003-0009].dpx"},
        {"D:\\s\\clip[0005-0009].dpx", "12", false, "D:\\s\\clip[0005-12].dpx"},
        {"/s/clip[1-1].dpx", "0100", false, "/s/clip[1-0100].dpx"},
        {"\\T\\clip[7-9]", "1", true, "\\T\\clip[1-9]"},
    };
    for (const Row& row : rows) {
        char buffer[64] = {};
        std::snprintf(buffer, sizeof buffer, "%s", row.path);
        EXPECT_EQ(row.first ? kxr::SetRangeFirst(nullptr, buffer, sizeof buffer, row.digits)
                            : kxr::SetRangeLast(nullptr, buffer, sizeof buffer, row.digits),
                  1);
        EXPECT_STREQ(buffer, row.expected) << row.path;
    }
    // A result never runs past the buffer.
    char small[16] = "a[1-2].dpx";
    kxr::SetRangeLast(nullptr, small, sizeof small, "123456789");
    EXPECT_EQ(std::strlen(small), sizeof small - 1);
}

TEST_F(DirScan, FileTypeFlags) {
    Make({"f.dpx", "m.mov", "n.xyz"});
    auto flags = [&](const char* name) {
        return kxr::GetFileTypeFlags(nullptr, (dir_ / name).string().c_str());
    };
    EXPECT_TRUE(flags("missing.dpx") == RL_UNKNOWN && flags("n.xyz") == RL_UNKNOWN);
    EXPECT_NE(flags("f.dpx") & RL_DISCRETE, 0u);
    EXPECT_EQ(flags("m.mov") & RL_DISCRETE, 0u);
}

} // namespace

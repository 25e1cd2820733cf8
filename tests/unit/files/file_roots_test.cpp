// File roots read from a real configuration file, the translations and
// sequence forms, and directory scans of temporary trees: sorting, hidden
// names, sequence grouping in the orders the directory search delivers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "access/containment.h"
#include "files/dir_scan.h"
#include "files/file_roots.h"
#include "temp_tree.h"

using kxr::platform::kPathSeparator;

namespace {

const std::string kSep(1, kPathSeparator);
// The record directory on a share: without a drive letter it is used as given
// on every platform, and no local path lies below it.
const std::string kRecordDir = "\\\\srv\\rec";
using Roots = std::vector<std::pair<std::string, std::string>>;
using Strings = std::vector<std::string>;

// "result|text" of the mappings on a copy of text in a buffer of 260 bytes.
std::string ToPath(const std::string& text) {
    return kxrtest::Applied(
        text, [](char* t, size_t room) { return kxr::MapLocatorToPath(nullptr, t, room); });
}
std::string ToLocator(const std::string& text) {
    return kxrtest::Applied(
        text, [](char* t, size_t room) { return kxr::MapPathToLocator(nullptr, t, room); });
}

class FileRoots : public kxrtest::TempTree {
protected:
    void SetUp() override {
        TempTree::SetUp();
        for (const char* d : {"media/clips/", "trail/", "abs/"})
            Touch(d);
        Touch("media/clips/a.mov", "movie");
        // A root matches before a longer name that it is a prefix of.
        LoadRoots("[KXR.Internal0]\nDir = '" + kRecordDir +
                  "'\n\n[KXR.NetServer.FileDirs]\nMedia = '" + Dir("media") + "'\nMediaTwo = '" +
                  Dir("trail") + "'\n\"Trail\\\\\" = '" + Local("trail") + "'\n\"\\\\Abs\" = '" +
                  Dir("abs") + "'\nNotDir = '" + Dir("media/clips/a.mov") + "'\nMissing = '" +
                  Dir("missing") + "'\nNumber = 5\n\n[KXR.NetServer.FileDirs.Sub]\nx = '" +
                  Dir("abs") + "'\n");
    }
    std::string Media() const { return Local("media"); }
    Roots Table() const {
        Roots roots;
        for (RVListNode* n = rv_ListHead(kxr::FileRootList()); n != nullptr; n = rv_ListNext(n)) {
            const auto* root = static_cast<const kxr::FileRoot*>(n->item);
            roots.emplace_back(root->name, root->path);
            EXPECT_EQ(root->made, 1u);
        }
        return roots;
    }
};

TEST_F(FileRoots, TableKeepsOrderSkipsNonDirectoriesAndSubKeys) {
    const Roots expected = {
        {"\\RecordDrive", kRecordDir}, // used as given, no separator added
        {"\\Media", Media()},
        {"\\MediaTwo", Dir("trail") + kSep},
        {"\\Trail", Dir("trail") + kSep},
        {"\\Abs", Dir("abs") + kSep},
    };
    EXPECT_EQ(Table(), expected);
    // A second load changes nothing.
    kxr::LoadFileRoots(nullptr);
    EXPECT_EQ(Table().size(), expected.size());
    // A record directory with a drive letter is cut to its drive root.
    LoadRoots("[KXR.Internal0]\nDir = 'E:\\Record\\Clips'\n");
    EXPECT_EQ(Table(), (Roots{{"\\RecordDrive", "E:" + kSep}}));
    LoadRoots("");
    EXPECT_TRUE(Table().empty());
}

TEST_F(FileRoots, LocatorsMapToLocalPaths) {
    const std::string m = Media();
    // The locator, whether a root matched and the text made of it. A file
    // below a root, letter case and a range form: the HTTP file-root tests.
    const std::pair<std::string, std::string> rows[] = {
        {"\\Media", "1|" + m},
        {"\\Media\\", "1|" + m},
        // The character after the name is dropped whatever it is.
        {"\\Mediax\\a", "1|" + m + kSep + "a"},
        {"\\MediaTwo\\a", "1|" + m + "wo" + kSep + "a"},
        {"\\Abs\\x", "1|" + Dir("abs") + kSep + "x"},
        {"\\RecordDrive\\x.mov", "1|" + kRecordDir + "x.mov"},
        {"\\Nope\\clip[0001-0100].dpx", "0|\\Nope\\clip0001.dpx"},
    };
    for (const auto& [in, out] : rows)
        EXPECT_EQ(ToPath(in), out) << in;
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
        EXPECT_EQ(ToLocator(in), "0|" + out);
        EXPECT_EQ(ToPath(out), (out[0] == '\\' ? "1|" : "0|") + in); // and back again
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

TEST(RequestText, ReplaceAndNormalize) {
    const auto replace = [](const char* pattern, char character) {
        return [=](char* text, size_t) { return kxr::ReplaceText(text, pattern, character); };
    };
    const auto normalize = [](char* text, size_t) {
        return kxr::NormalizeVirtualPath(nullptr, text);
    };
    // The written character is searched again.
    EXPECT_EQ(kxrtest::Applied("abb", replace("ab", 'a')), "0|a");
    EXPECT_EQ(kxrtest::Applied("aaa", replace("a", 'a')), "0|aaa");
    EXPECT_EQ(kxrtest::Applied("abc", replace("", 'y')), "0|abc");
    EXPECT_EQ(kxrtest::Applied("Media%5cclips", normalize), "0|Media%5cclips");
    EXPECT_EQ(kxrtest::Applied("%%2020", normalize), "0|% 20");
}

TEST(SequenceForms, FramePathAndRangePath) {
    const auto frame = [](int32_t which) {
        return [=](char* text, size_t) { return kxr::SequenceFramePath(nullptr, text, which); };
    };
    EXPECT_EQ(kxrtest::Applied("clip[0001-0100].dpx", frame(1)), "1|clip0100.dpx");
    EXPECT_EQ(kxrtest::Applied("clip[0001-0100].dpx", frame(0)), "1|clip0001.dpx");
    EXPECT_EQ(kxrtest::Applied("dir[1-2]x/clip.dpx", frame(0)), "1|dir1x/clip.dpx");
    EXPECT_EQ(kxrtest::Applied("clip[0001.dpx", frame(0)), "0|clip[0001.dpx");
    EXPECT_EQ(kxrtest::Applied("a-b]/clip[7.dpx", frame(0)), "0|a-b]/clip[7.dpx");
    EXPECT_EQ(kxrtest::Applied("c[1-2].picon.jpg", frame(0)), "0|c[1-2].picon.jpg");

    const auto range = [](char* text, size_t room) {
        return kxr::SequenceRangePath(nullptr, text, room);
    };
    EXPECT_EQ(kxrtest::Applied("clip0.dpx", range), "0|clip[0-0].dpx");
    EXPECT_EQ(kxrtest::Applied("D:\\s\\clip0005.dpx", range), "5|D:\\s\\clip[0005-0005].dpx");
    EXPECT_EQ(kxrtest::Applied("c0000001000000000.dpx", range),
              "1000000000|c[0000001000000000-0000001000000000].dpx");
    EXPECT_EQ(kxrtest::Applied("c4294967295.dpx", range),
              "4294967295|c[4294967295-4294967295].dpx");
}

using SequenceFiles = kxrtest::TempTree;

TEST_F(SequenceFiles, MembersAndWildcards) {
    const std::string dpx = "SDPX" + std::string(2044, '\0');
    Touch("clip0005.dpx", dpx);
    Touch("still.dpx", dpx);
    Touch("take0001.mov", std::string("\0\0\0\024ftypqt  ", 12) + std::string(64, '\0'));
    // The name, whether it is a sequence member and its wildcard form.
    const std::tuple<const char*, int32_t, const char*> rows[] = {
        {"clip0005.dpx", 1, "clip*.dpx"},
        {"still.dpx", 0, "still.dpx"},
        {"take0001.mov", 0, "take0001.mov"},
        {"gone0001.dpx", 0, "gone0001.dpx"},
    };
    for (const auto& [name, member, wildcard] : rows) {
        char text[260] = {};
        std::strcpy(text, Dir(name).c_str());
        EXPECT_EQ(kxr::IsSequenceMember(nullptr, text), member) << name;
        EXPECT_EQ(kxr::SequenceWildcardPath(nullptr, text, sizeof text), 0);
        EXPECT_EQ(std::string(text), Dir(wildcard)) << name;
    }
}

class DirScan : public kxrtest::TempTree {
protected:
    void SetUp() override {
        TempTree::SetUp();
        rv_ListInit(&cache_.entries);
        // The scanned directory is a root, as every directory a client lists.
        kxr::access::SetRoots(kxr::access::RootKind::Browse, {dir_.string()});
    }
    void TearDown() override {
        kxr::ClearDirCache(nullptr, &cache_);
        rv_ListClose(&cache_.entries);
        TempTree::TearDown();
    }
    void Make(const std::vector<std::string>& names) {
        for (const std::string& name : names)
            Touch(name);
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

    kxr::DirCache cache_{};
};

TEST_F(DirScan, ListsSortedAndGroupsSequences) {
    // What, the files made, and what is listed after the parent entry.
    const std::vector<std::tuple<const char*, Strings, Strings>> cases = {
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
        // A lone frame is listed by its own name.
        {"single", {"shot0042.dpx", "a.mov"}, {"a.mov", "shot0042.dpx"}},
        {"hidden", {".hidden.txt", "my.dir/", ".git/", "b.txt"}, {"b.txt", "my.dir"}},
        {"thumbnail",
         {"clip.picon.jpg", "clip1.dpx", "clip2.dpx"},
         {"clip.picon.jpg", "clip[1-2].dpx"}},
        // ab1x1 arrives between the frames of ab and starts a group of its own.
        {"interleaved", {"ab1.dpx", "ab1x1.dpx", "ab2.dpx"}, {"ab1x1.dpx", "ab[1-2].dpx"}},
        // Sequence keys compare exactly.
        {"case", {"Clip1.dpx", "clip2.dpx"}, {"Clip1.dpx", "clip2.dpx"}},
    };
    for (const auto& [what, files, listed] : cases) {
        SCOPED_TRACE(what);
        TearDown();
        SetUp();
        Make(files);
        ASSERT_EQ(Scan(), 1);
        std::vector<std::string> expected = {"\\T\\.."};
        for (const std::string& name : listed)
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

TEST_F(DirScan, DecodesTextsButFallsBackWithTheLocatorAsGiven) {
    Make({"a b.mov", "shot7.dpx"});
    ASSERT_EQ(Scan("\\T%20x"), 1);
    EXPECT_EQ(Locators(),
              (std::vector<std::string>{"\\T x\\..", "\\T x\\a b.mov", "\\T%20x\\shot7.dpx"}));
}

// The scans above move the bounds; a result that would not fit is cut to its room.
TEST(RangeBounds, ReplaceOneNumberOfTheRange) {
    char small[16] = "a[1-2].dpx";
    kxr::SetRangeLast(nullptr, small, sizeof small, "123456789");
    EXPECT_EQ(std::strlen(small), sizeof small - 1);
}

} // namespace

#include "platform/kxr_file.h"
#include "test_dir.h"

#include <string>
#include <vector>

namespace kp = kxr::platform;
namespace fs = std::filesystem;

namespace {

std::string Names(const std::vector<kp::DirEntry>& entries) {
    std::string joined;
    for (const auto& entry : entries)
        joined += (joined.empty() ? "" : " ") + entry.name;
    return joined;
}

} // namespace

class PlatformDir : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        for (const char* name : {"beta.txt", "Alpha.TXT", "gamma.dpx", "abc.mov", "axc.mov",
                                 "noext", "clip0001.dpx", "clip0002.dpx", ".dot"})
            WriteFile(name, "x");
        fs::create_directory(Path("Sub.dir"));
    }

    std::string List(const std::string& pattern) const {
        std::vector<kp::DirEntry> entries;
        const bool found = kp::ListDirectory(Path(pattern).c_str(), &entries);
        EXPECT_EQ(found, !entries.empty()) << pattern;
        return Names(entries);
    }
};

TEST_F(PlatformDir, PatternsSelectNamesInOrder) {
    const std::pair<const char*, const char*> rows[] = {
        {"*", ". .. .dot abc.mov Alpha.TXT axc.mov beta.txt clip0001.dpx clip0002.dpx gamma.dpx "
              "noext Sub.dir"},
        {"*.*", ". .. .dot abc.mov Alpha.TXT axc.mov beta.txt clip0001.dpx clip0002.dpx "
                "gamma.dpx noext Sub.dir"},
        {"*.txt", "Alpha.TXT beta.txt"},
        {"a?c.*", "abc.mov axc.mov"},
        {"CLIP*.DPX", "clip0001.dpx clip0002.dpx"},
        {"*T*", ".dot Alpha.TXT beta.txt noext"},
        {"noext", "noext"},
        {"no*match", ""},
    };
    for (const auto& [pattern, names] : rows)
        EXPECT_EQ(List(pattern), names) << pattern;
}

TEST_F(PlatformDir, BackslashPatternsRelativeAndUnreadableSearches) {
    std::vector<kp::DirEntry> entries;
    ASSERT_TRUE(kp::ListDirectory(Backslashed(Path("*.mov")).c_str(), &entries));
    EXPECT_EQ(Names(entries), "abc.mov axc.mov");

    const fs::path before = fs::current_path();
    fs::current_path(root_);
    const bool found = kp::ListDirectory("g*", &entries);
    fs::current_path(before);
    ASSERT_TRUE(found);
    EXPECT_EQ(Names(entries), "gamma.dpx");

    // A missing directory, or a pattern that names only a directory, lists nothing.
    EXPECT_FALSE(kp::ListDirectory(Path("absent/*").c_str(), &entries));
    EXPECT_TRUE(entries.empty());
    EXPECT_FALSE(kp::ListDirectory((Path("Sub.dir") + "/").c_str(), &entries));
}

// A link is listed with the reparse-point bit and the status of its target;
// a dangling one as something that is no file. Skipped where links cannot
// be made.
TEST_F(PlatformDir, LinksAreMarked) {
    std::error_code error;
    fs::create_symlink(Path("beta.txt"), Path("link.txt"), error);
    if (!error)
        fs::create_directory_symlink(Path("Sub.dir"), Path("link.dir"), error);
    if (!error)
        fs::create_symlink(Path("absent"), Path("dangling"), error);
    // Some systems (Wine) report links made that lead nowhere.
    if (error || !fs::exists(Path("link.txt"), error))
        GTEST_SKIP() << "no symbolic links here: " << error.message();
    std::vector<kp::DirEntry> entries;
    ASSERT_TRUE(kp::ListDirectory(Path("*").c_str(), &entries));
    std::string marked;
    for (const auto& entry : entries) {
        if ((entry.status.attributes & kp::kAttrReparsePoint) == 0)
            continue;
        marked += entry.name + (entry.status.kind == kp::FileKind::Regular     ? "=file "
                                : entry.status.kind == kp::FileKind::Directory ? "=dir "
                                                                               : "=other ");
    }
    EXPECT_EQ(marked, "dangling=other link.dir=dir link.txt=file ");
}

// Containment: the pure rules on both platforms' path forms, which any build
// can check; then the checks against a real tree, for the names the HTTP
// confinement test does not reach cheaply: missing names and wildcards, new
// names below missing parents, relative names, roots that appear or move.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "access/containment.h"
#include "tests/support/net_test_util.h"

namespace {

namespace fs = std::filesystem;
using kxr::access::PathRules;

constexpr PathRules kPosix = PathRules::Posix;
constexpr PathRules kWindows = PathRules::Windows;

const char* RulesName(PathRules rules) {
    return rules == kPosix ? "posix" : "windows";
}

TEST(ContainmentRules, PathWithinComparesWholeComponents) {
    const struct {
        PathRules rules;
        const char* path;
        const char* root;
        bool within;
    } rows[] = {
        {kPosix, "/srv/media", "/srv/media", true},
        {kPosix, "/srv/media/a.mov", "/srv/media/", true},
        // A sibling that merely begins with the root's name.
        {kPosix, "/srv/media2/a.mov", "/srv/media", false},
        {kPosix, "/srv", "/srv/media", false},
        {kPosix, "/srv/Media/a.mov", "/srv/media", false},
        // In a resolved POSIX path a backslash is part of a name.
        {kPosix, "/srv/media\\a.mov", "/srv/media", false},
        {kPosix, "/etc/passwd", "/", true},
        {kPosix, "/etc/passwd", "", false},
        {kPosix, "", "/srv", false},
        {kWindows, "c:/MEDIA\\A.MOV", "C:\\Media\\", true},
        {kWindows, "C:\\Media2\\a.mov", "C:\\Media", false},
        {kWindows, "D:\\Media\\a.mov", "C:\\Media", false},
        {kWindows, "\\\\SERVER\\Share\\m", "\\\\server\\share\\m", true},
        {kWindows, "\\\\server\\share\\a.mov", "C:\\", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(kxr::access::PathWithin(row.path, row.root, row.rules), row.within)
            << RulesName(row.rules) << " " << row.path << " in " << row.root;
}

// The forms the HTTP test sends under Wine are left to it; these are the
// edges of device names and streams, and the names that must still open.
TEST(ContainmentRules, NamesThatAreNotEvenOpened) {
    for (const char* name :
         {"\\\\?\\UNC\\server\\share", "\\\\.\\PhysicalDrive0", "a.mov:Zone.Identifier",
          "clips\\LPT9.mov\\x", "C:\\media\\con .txt"}) {
        EXPECT_FALSE(kxr::access::NameIsOpenable(name, kWindows)) << name;
        // POSIX opens them all: they are plain names there.
        EXPECT_TRUE(kxr::access::NameIsOpenable(name, kPosix)) << name;
    }
    for (const char* name : {"C:relative.mov", "\\\\server\\share\\a.mov", "C:\\media\\console.txt",
                             "name. ", "PROGRA~1\\x", "C:\\media\\COM10"})
        EXPECT_TRUE(kxr::access::NameIsOpenable(name, kWindows)) << name;
}

TEST(ContainmentRules, TailsThatClimb) {
    const struct {
        PathRules rules;
        const char* tail;
        bool staysBelow;
    } rows[] = {
        {kPosix, "", true},
        {kPosix, "/new/deeper/", true},
        {kPosix, "...", true},
        // "\\" separates in every name the platform layer is given.
        {kPosix, "a\\..\\b", false},
        {kWindows, "\\new.\\x", true},
        {kWindows, "...", false},
        {kWindows, "a\\. .\\b", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(kxr::access::TailStaysBelow(row.tail, row.rules), row.staysBelow)
            << RulesName(row.rules) << " \"" << row.tail << "\"";
}

TEST(ContainmentRules, LastComponentAndShares) {
    const struct {
        PathRules rules;
        const char* path;
        const char* split; // "parent|last", or "-" when nothing splits off
    } rows[] = {
        {kPosix, "/srv/media/new//", "/srv/media|new"},
        {kPosix, "//new", "/|new"},
        {kPosix, "new", "|new"},
        {kPosix, "/", "-"},
        {kPosix, "", "-"},
        {kWindows, "C:\\new", "C:\\|new"},
        // Drive-relative: the parent is the drive's current directory.
        {kWindows, "C:new", "C:|new"},
        {kWindows, "C:\\", "-"},
        {kWindows, "\\\\server\\share\\x", "\\\\server\\share|x"},
    };
    for (const auto& row : rows) {
        std::string_view parent;
        std::string_view last;
        const std::string split =
            kxr::access::SplitLastComponent(row.path, row.rules, &parent, &last)
                ? std::string(parent) + "|" + std::string(last)
                : "-";
        EXPECT_EQ(split, row.split) << RulesName(row.rules) << " " << row.path;
    }

    for (const auto& [path, share] :
         {std::pair{"\\\\server\\share\\dir\\a.mov", "\\\\server\\share"},
          std::pair{"//server/share", "//server/share"}, std::pair{"C:\\share", ""},
          std::pair{"\\\\\\x", ""}}) {
        EXPECT_EQ(kxr::access::UncShare(path, kWindows), share) << path;
        EXPECT_EQ(kxr::access::UncShare(path, kPosix), "") << path;
    }
}

// A tree: root/ and docs/ are roots; root2/ shares root's prefix; outside/
// is no root.
class ContainmentChecks : public testing::Test {
protected:
    void SetUp() override {
        for (const char* name :
             {"root/a.mov", "root2/secret.txt", "outside/secret.txt", "docs/index.html"})
            ASSERT_TRUE(kxrtest::WriteFile(tree_.Path() / name, "x"));
        kxr::access::SetConfinement(true);
        kxr::access::SetRoots(kxr::access::RootKind::Browse, {In("root")});
        kxr::access::SetRoots(kxr::access::RootKind::Document, {In("docs")});
    }
    void TearDown() override {
        kxr::access::SetRoots(kxr::access::RootKind::Browse, {});
        kxr::access::SetRoots(kxr::access::RootKind::Document, {});
        kxr::access::SetConfinement(true);
    }
    std::string In(const std::string& name) const { return (tree_.Path() / name).string(); }

    kxrtest::TempDir tree_{"containment"};
};

// Names inside, climbs out, the sibling root and links are asked over HTTP
// (tests/integration/confinement_test.cpp); these are the names no route
// there has: missing ones, wildcards and new names below missing parents.
TEST_F(ContainmentChecks, ReachableOutsideAndCreatable) {
    const struct {
        const char* name;
        bool reachable, outside, creatable;
    } rows[] = {
        {"root", true, false, true},
        {"root/missing.mov", false, false, true},
        {"root/new/deeper", false, false, true},
        {"root/clip*.dpx", false, false, true},
        // A missing name is not outside: nothing can be read through it.
        {"outside/missing.txt", false, false, false},
        {"", false, false, false},
    };
    for (const auto& row : rows) {
        const std::string path = row.name[0] != '\0' ? In(row.name) : std::string();
        EXPECT_EQ(kxr::access::IsReachable(path), row.reachable) << row.name;
        EXPECT_EQ(kxr::access::IsOutside(path), row.outside) << row.name;
        EXPECT_EQ(kxr::access::IsCreatable(path), row.creatable) << row.name;
    }
    // A new name through a link from outside into a root is inside.
    std::error_code error;
    fs::create_directory_symlink(tree_.Path() / "root", tree_.Path() / "outside" / "in", error);
    if (!error && fs::exists(tree_.Path() / "outside" / "in" / "a.mov", error)) {
        EXPECT_TRUE(kxr::access::IsCreatable(In("outside/in/new")));
    }
    // Without confinement nothing is outside.
    kxr::access::SetConfinement(false);
    EXPECT_FALSE(kxr::access::IsOutside(In("outside/secret.txt")));
}

TEST_F(ContainmentChecks, RelativeNamesCountFromTheWorkingDirectory) {
    const fs::path previous = fs::current_path();
    fs::current_path(tree_.Path() / "docs");
    const bool inside = kxr::access::IsReachable("index.html") && kxr::access::IsCreatable("new") &&
                        kxr::access::IsReachable(".");
    const bool up = kxr::access::IsReachable("../outside/secret.txt") ||
                    kxr::access::IsCreatable("../new") || kxr::access::IsReachable("..");
    fs::current_path(previous);
    EXPECT_TRUE(inside);
    EXPECT_FALSE(up);
}

TEST_F(ContainmentChecks, ARootThatAppearsLaterIsFound) {
    kxr::access::SetRoots(kxr::access::RootKind::Browse, {In("later")});
    EXPECT_FALSE(kxr::access::IsCreatable(In("later/new")));
    ASSERT_TRUE(kxrtest::WriteFile(tree_.Path() / "later" / "a.mov", "x"));
    EXPECT_TRUE(kxr::access::IsReachable(In("later/a.mov")));
    EXPECT_TRUE(kxr::access::IsCreatable(In("later/new")));
}

// A root configured as a link follows it when the link is moved.
TEST_F(ContainmentChecks, ARootThatIsALinkFollowsIt) {
    const fs::path current = tree_.Path() / "current";
    std::error_code error;
    fs::create_directory_symlink(tree_.Path() / "root", current, error);
    if (error || !fs::exists(current / "a.mov", error))
        GTEST_SKIP() << "no symbolic links here";
    kxr::access::SetRoots(kxr::access::RootKind::Browse, {current.string()});
    EXPECT_TRUE(kxr::access::IsReachable(In("root/a.mov")));
    fs::remove(current);
    fs::create_directory_symlink(tree_.Path() / "root2", current);
    EXPECT_TRUE(kxr::access::IsReachable(In("root2/secret.txt")));
    EXPECT_FALSE(kxr::access::IsReachable(In("root/a.mov")));
}

} // namespace

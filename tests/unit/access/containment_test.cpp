// Containment: the pure rules of whole components and climbing tails on both
// platforms' path forms, which any build can check (the names only Windows
// gives a meaning, shares and device names are asked over HTTP under Wine;
// the split of a last component keeps its laws under fuzz_containment); then
// the checks against a real tree, for the names the HTTP confinement test
// does not reach cheaply: missing names and wildcards, new names below
// missing parents, roots that appear or move.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <tuple>

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

// A sibling that merely begins with the root's name is not within it; in a
// resolved POSIX path a backslash is part of a name.
TEST(ContainmentRules, PathWithinComparesWholeComponents) {
    const std::tuple<PathRules, const char*, const char*, bool> rows[] = {
        {kPosix, "/srv/media", "/srv/media", true},
        {kPosix, "/srv/media/a.mov", "/srv/media/", true},
        {kPosix, "/srv/media2/a.mov", "/srv/media", false},
        {kPosix, "/srv/Media/a.mov", "/srv/media", false},
        {kPosix, "/srv/media\\a.mov", "/srv/media", false},
        {kPosix, "/etc/passwd", "/", true},
        {kPosix, "/etc/passwd", "", false},
        {kWindows, "c:/MEDIA\\A.MOV", "C:\\Media\\", true},
        {kWindows, "C:\\Media2\\a.mov", "C:\\Media", false},
        {kWindows, "D:\\Media\\a.mov", "C:\\Media", false},
        {kWindows, "\\\\SERVER\\Share\\m", "\\\\server\\share\\m", true},
        {kWindows, "\\\\server\\share\\a.mov", "C:\\", false}};
    for (const auto& [rules, path, root, within] : rows)
        EXPECT_EQ(kxr::access::PathWithin(path, root, rules), within)
            << RulesName(rules) << " " << path << " in " << root;
}

// "\\" separates in every name the platform layer is given.
TEST(ContainmentRules, TailsThatClimb) {
    const std::tuple<PathRules, const char*, bool> rows[] = {{kPosix, "", true},
                                                             {kPosix, "/new/deeper/", true},
                                                             {kPosix, "...", true},
                                                             {kPosix, "a\\..\\b", false},
                                                             {kWindows, "\\new.\\x", true},
                                                             {kWindows, "...", false},
                                                             {kWindows, "a\\. .\\b", false}};
    for (const auto& [rules, tail, staysBelow] : rows)
        EXPECT_EQ(kxr::access::TailStaysBelow(tail, rules), staysBelow)
            << RulesName(rules) << " \"" << tail << "\"";
}

// A tree: root/ is a root; root2/ shares its prefix; outside/ is no root.
class ContainmentChecks : public testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"root/a.mov", "root2/secret.txt", "outside/secret.txt"})
            ASSERT_TRUE(kxrtest::WriteFile(tree_.Path() / name, "x"));
        kxr::access::SetConfinement(true);
        kxr::access::SetRoots(kxr::access::RootKind::Browse, {In("root")});
    }
    void TearDown() override {
        kxr::access::SetRoots(kxr::access::RootKind::Browse, {});
        kxr::access::SetConfinement(true);
    }
    std::string In(const std::string& name) const { return (tree_.Path() / name).string(); }

    kxrtest::TempDir tree_{"containment"};
};

// Names inside, climbs out, relative names, the sibling root and links are
// asked over HTTP (tests/integration/confinement_test.cpp); these are the
// names no route there has: missing ones, wildcards and new names below
// missing parents.
TEST_F(ContainmentChecks, ReachableOutsideAndCreatable) {
    // A missing name is not outside: nothing can be read through it.
    const std::tuple<const char*, bool, bool, bool> rows[] = {
        {"root", true, false, true},
        {"root/missing.mov", false, false, true},
        {"root/new/deeper", false, false, true},
        {"root/clip*.dpx", false, false, true},
        {"outside/missing.txt", false, false, false},
        {"", false, false, false}};
    for (const auto& [name, reachable, outside, creatable] : rows) {
        const std::string path = name[0] != '\0' ? In(name) : std::string();
        EXPECT_EQ(kxr::access::IsReachable(path), reachable) << name;
        EXPECT_EQ(kxr::access::IsOutside(path), outside) << name;
        EXPECT_EQ(kxr::access::IsCreatable(path), creatable) << name;
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

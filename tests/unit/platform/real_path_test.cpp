#include "platform/kxr_real_path.h"
#include "test_dir.h"

#include <string>

namespace kp = kxr::platform;
namespace fs = std::filesystem;

class PlatformRealPath : public TempDirTest {};

// Every spelling of one file resolves to the same absolute path; a name that
// does not exist resolves to nothing.
TEST_F(PlatformRealPath, SpellingsOfOneFileResolveAlike) {
    fs::create_directories(root_ / "a" / "b");
    WriteFile("a/b/f.txt", "x");
    std::string expected;
    ASSERT_TRUE(kp::ResolvePath(Path("a/b/f.txt"), &expected));
    EXPECT_TRUE(fs::path(expected).is_absolute()) << expected;
    EXPECT_TRUE(fs::equivalent(expected, root_ / "a" / "b" / "f.txt")) << expected;
    for (const std::string& spelling :
         {Path("a/./b/../b/f.txt"), Backslashed(Path("a/b/f.txt")), Path("a//b///f.txt")}) {
        std::string resolved;
        EXPECT_TRUE(kp::ResolvePath(spelling, &resolved)) << spelling;
        EXPECT_EQ(resolved, expected) << spelling;
    }
    const fs::path before = fs::current_path();
    fs::current_path(root_ / "a");
    std::string relative;
    const bool found = kp::ResolvePath("b/f.txt", &relative);
    fs::current_path(before);
    EXPECT_TRUE(found);
    EXPECT_EQ(relative, expected);

    std::string none = "unchanged";
    for (const std::string& missing :
         {Path("a/b/none.txt"), Path("a/none/../b/f.txt/x"), std::string(), std::string("a\0b", 3)})
        EXPECT_FALSE(kp::ResolvePath(missing, &none)) << missing;
    EXPECT_EQ(none, "unchanged");
}

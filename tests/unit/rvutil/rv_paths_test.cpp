#include "kxr/rvutil.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

// Both path styles: drive, directory, name and extension.
TEST(RvPaths, SplitFollowsDriveDirNameExtRules) {
    const char* rows[][5] = {
        {"C:\\share\\clip.mov", "C:", "\\share\\", "clip", ".mov"},
        {"/srv/media/a.b.dpx", "", "/srv/media/", "a.b", ".dpx"},
        {"mixed/dir\\name", "", "mixed/dir\\", "name", ""},
        {".hidden", "", "", "", ".hidden"},
        {"\\\\server\\share\\f.x", "", "\\\\server\\share\\", "f", ".x"},
    };
    for (const auto& row : rows) {
        char drive[RV_MAX_DRIVE], dir[RV_MAX_DIR], name[RV_MAX_FNAME], ext[RV_MAX_EXT];
        rvOSSplitPath(row[0], drive, dir, name, ext);
        EXPECT_EQ(std::string(drive) + "|" + dir + "|" + name + "|" + ext,
                  std::string(row[1]) + "|" + row[2] + "|" + row[3] + "|" + row[4]);
    }
    char dir[RV_MAX_DIR + 8], name[RV_MAX_FNAME];
    std::fill(std::begin(dir), std::end(dir), '#');
    rvOSSplitPath((std::string(400, 'd') + "/f.e").c_str(), nullptr, dir, name, nullptr);
    EXPECT_EQ(std::string(dir), std::string(RV_MAX_DIR - 1, 'd')); // cut to the buffer
    EXPECT_EQ(dir[RV_MAX_DIR], '#');
    EXPECT_STREQ(name, "f");
}

TEST(RvPaths, MakeJoinsPartsWithSeparatorAndDot) {
    const char* rows[][5] = {
        {"C:", "\\share\\", "clip", ".mov", "C:\\share\\clip.mov"},
        {"C", "\\share", "clip", "mov", "C:\\share\\clip.mov"},
        {"", "/srv/media", "a", ".dpx", "/srv/media/a.dpx"},
        {nullptr, "a\\b/c", "n", nullptr, "a\\b/c/n"},
    };
    char path[RV_MAX_PATH];
    for (const auto& row : rows) {
        rvOSMakePath(path, row[0], row[1], row[2], row[3]);
        EXPECT_STREQ(path, row[4]) << row[4];
    }
    rvOSMakePath(path, nullptr, "dir", "n", "x"); // a bare directory gets the local separator
    EXPECT_TRUE(std::string(path) == "dir/n.x" || std::string(path) == "dir\\n.x") << path;
    rvOSMakePath(path, nullptr, "/d/", std::string(500, 'n').c_str(), ".ext");
    EXPECT_EQ(std::string(path).size(), static_cast<size_t>(RV_MAX_PATH - 1));
}

TEST(RvPaths, BaseNameSeparatesTheFrameNumber) {
    const std::tuple<const char*, const char*, uint32_t, uint32_t> rows[] = {
        {"C:\\seq\\clip0005.dpx", "clip", 4, 5},
        {"/seq/shot_010_v2.0123.exr", "shot_010_v2.", 4, 123},
        {"big99999999999.dpx", "big", 11, static_cast<uint32_t>(99999999999ULL)},
    };
    for (const auto& [path, base, digits, value] : rows) {
        char name[RV_MAX_FNAME] = "junk";
        uint32_t count = 77;
        EXPECT_EQ(GetBaseName(path, name, &count), value) << path;
        EXPECT_STREQ(name, base) << path;
        EXPECT_EQ(count, digits) << path;
    }
    EXPECT_EQ(GetBaseName("x12", nullptr, nullptr), 12u);
}

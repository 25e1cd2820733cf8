#include "kxr/rvutil.h"

#include <gtest/gtest.h>

#include <string>

TEST(RvPaths, SplitFollowsDriveDirNameExtRules) {
    struct Row {
        const char* path;
        const char* drive;
        const char* dir;
        const char* name;
        const char* ext;
    };
    const Row rows[] = {
        {"C:\\share\\clip.mov", "C:", "\\share\\", "clip", ".mov"},
        {"/srv/media/a.b.dpx", "", "/srv/media/", "a.b", ".dpx"},
        {"D:relative.txt", "D:", "", "relative", ".txt"},
        {"mixed/dir\\name", "", "mixed/dir\\", "name", ""},
        {"dir.d/noext", "", "dir.d/", "noext", ""},
        {"only/", "", "only/", "", ""},
        {".hidden", "", "", "", ".hidden"},
        {"x\\..", "", "x\\", ".", "."},
        {"trailing.", "", "", "trailing", "."},
        {"C:", "C:", "", "", ""},
        {"", "", "", "", ""},
        {"\\\\server\\share\\f.x", "", "\\\\server\\share\\", "f", ".x"},
    };
    for (const auto& row : rows) {
        char drive[RV_MAX_DRIVE], dir[RV_MAX_DIR], name[RV_MAX_FNAME], ext[RV_MAX_EXT];
        rvOSSplitPath(row.path, drive, dir, name, ext);
        EXPECT_STREQ(drive, row.drive) << row.path;
        EXPECT_STREQ(dir, row.dir) << row.path;
        EXPECT_STREQ(name, row.name) << row.path;
        EXPECT_STREQ(ext, row.ext) << row.path;
    }
}

TEST(RvPaths, SplitSkipsUnwantedPartsAndCutsLongOnes) {
    char name[RV_MAX_FNAME];
    rvOSSplitPath("C:\\a\\file.txt", nullptr, nullptr, name, nullptr);
    EXPECT_STREQ(name, "file");

    const std::string longDir(400, 'd');
    char dir[RV_MAX_DIR + 8];
    std::fill(std::begin(dir), std::end(dir), '#');
    rvOSSplitPath((longDir + "/f.e").c_str(), nullptr, dir, name, nullptr);
    EXPECT_EQ(std::string(dir), std::string(RV_MAX_DIR - 1, 'd'));
    EXPECT_EQ(dir[RV_MAX_DIR], '#'); // nothing written past the buffer
    EXPECT_STREQ(name, "f");
}

TEST(RvPaths, MakeJoinsPartsWithSeparatorAndDot) {
    struct Row {
        const char* drive;
        const char* dir;
        const char* name;
        const char* ext;
        const char* path;
    };
    const Row rows[] = {
        {"C:", "\\share\\", "clip", ".mov", "C:\\share\\clip.mov"},
        {"C", "\\share", "clip", "mov", "C:\\share\\clip.mov"},
        {"", "/srv/media", "a", ".dpx", "/srv/media/a.dpx"},
        {nullptr, "a\\b/c", "n", nullptr, "a\\b/c/n"},
        {nullptr, nullptr, "*", "*", "*.*"},
        {"", "/d/", "", "", "/d/"},
        {nullptr, nullptr, nullptr, ".e", ".e"},
    };
    for (const auto& row : rows) {
        char path[RV_MAX_PATH];
        rvOSMakePath(path, row.drive, row.dir, row.name, row.ext);
        EXPECT_STREQ(path, row.path) << (row.dir != nullptr ? row.dir : "(null)");
    }
}

TEST(RvPaths, MakeGivesABareDirectoryTheLocalSeparatorAndCuts) {
    char path[RV_MAX_PATH];
    rvOSMakePath(path, nullptr, "dir", "n", "x");
    const std::string joined(path);
    ASSERT_EQ(joined.size(), 7u);
    EXPECT_TRUE(joined[3] == '/' || joined[3] == '\\');
    EXPECT_EQ(joined.substr(4), "n.x");

    const std::string longName(500, 'n');
    rvOSMakePath(path, nullptr, "/d/", longName.c_str(), ".ext");
    EXPECT_EQ(std::string(path).size(), static_cast<size_t>(RV_MAX_PATH - 1));
}

TEST(RvPaths, BaseNameSeparatesTheFrameNumber) {
    struct Row {
        const char* path;
        const char* base;
        uint32_t digits;
        uint32_t value;
    };
    const Row rows[] = {
        {"C:\\seq\\clip0005.dpx", "clip", 4, 5},
        {"/seq/shot_010_v2.0123.exr", "shot_010_v2.", 4, 123},
        {"/seq/no_digits.tif", "no_digits", 0, 0},
        {"/seq/000123.png", "", 6, 123},
        {"/seq.2/clip7", "clip", 1, 7},
        {"/dir2/", "", 0, 0},
        {"a.1.2", "a.", 1, 1},
        {"big99999999999.dpx", "big", 11, static_cast<uint32_t>(99999999999ULL)},
    };
    for (const auto& row : rows) {
        char base[RV_MAX_FNAME] = "junk";
        uint32_t digits = 77;
        EXPECT_EQ(GetBaseName(row.path, base, &digits), row.value) << row.path;
        EXPECT_STREQ(base, row.base) << row.path;
        EXPECT_EQ(digits, row.digits) << row.path;
    }
    EXPECT_EQ(GetBaseName("x12", nullptr, nullptr), 12u);
}

#include "kxr/snipr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

TEST(Snipr, CopyCutsAtWidthAndTerminates) {
    const char* rows[][2] = {{"", ""}, {"CLIP0001", "CLIP0001"}, {"CLIP00012345", "CLIP0001"}};
    for (const auto& row : rows) {
        char target[16];
        std::memset(target, 'x', sizeof target);
        strcpyClip(target, row[0]);
        EXPECT_STREQ(target, row[1]);
        EXPECT_EQ(target[std::strlen(row[1]) + 1], 'x') << row[0]; // nothing past the terminator
    }
    const char record[8] = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'}; // unterminated source
    char target[9] = "junk";
    strcpyClip(target, record);
    EXPECT_STREQ(target, "ABCDEFGH");
}

TEST(Snipr, CompareWithinWidthIgnoringTrailingBlanks) {
    const std::tuple<const char*, const char*, int> rows[] = {
        {"CLIP", "CLIP    ", 0},      {"", "        ", 0},       {"CLIP0001X", "CLIP0001Y", 0},
        {"CLIP0001", "CLIP0002", -1}, {"CLIP", "CLIP0", -1},     {" CLIP", "CLIP", -1},
        {"A\xE9", "A\x41", 1},        {"::Bars", "::Black", -1},
    };
    for (const auto& [a, b, sign] : rows) {
        const int r = strcmpClip(a, b);
        EXPECT_EQ((r > 0) - (r < 0), sign) << a << " vs " << b;
    }
    const char unterminated[8] = {'C', 'L', 'I', 'P', '0', '0', '0', '1'};
    EXPECT_EQ(strcmpClip(unterminated, "CLIP0001"), 0);
    EXPECT_LT(strcmpClip(nullptr, "A"), 0);
}

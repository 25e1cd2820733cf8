#include "kxr/snipr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(SniprCopy, CutsAtWidthAndTerminates) {
    struct Case {
        const char* source;
        const char* copied;
    };
    const Case cases[] = {
        {"", ""},
        {"CLIP", "CLIP"},
        {"CLIP0001", "CLIP0001"},
        {"CLIP00012345", "CLIP0001"},
        {"A  ", "A  "},
        {"::Black", "::Black"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        char target[16];
        std::memset(target, 'x', sizeof target);
        strcpyClip(target, c.source);
        EXPECT_STREQ(target, c.copied);
        // Nothing past the terminator is touched.
        const std::size_t len = std::strlen(c.copied);
        for (std::size_t i = len + 1; i < sizeof target; ++i) {
            ASSERT_EQ(target[i], 'x') << i;
        }
    }
}

TEST(SniprCopy, UnterminatedSourceReadsOnlyTheWidth) {
    const unsigned char record[8] = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'};
    unsigned char target[9];
    strcpyClip(target, record);
    EXPECT_EQ(std::memcmp(target, "ABCDEFGH", 9), 0);
}

TEST(SniprCopy, NullSourceGivesEmptyName) {
    char target[9] = "junk";
    strcpyClip(target, nullptr);
    EXPECT_STREQ(target, "");
    strcpyClip(nullptr, "CLIP"); // must not crash
}

TEST(SniprCompare, Cases) {
    struct Case {
        const char* a;
        const char* b;
        int sign;
    };
    const Case cases[] = {
        {"CLIP0001", "CLIP0001", 0}, {"CLIP", "CLIP    ", 0},       {"CLIP  ", "CLIP", 0},
        {"", "        ", 0},         {"CLIP0001X", "CLIP0001Y", 0}, {"CLIP0001", "CLIP0002", -1},
        {"CLIP0002", "CLIP0001", 1}, {"CLIP", "CLIP0", -1},         {"CLIP0", "CLIP", 1},
        {" CLIP", "CLIP", -1},       {"clip", "CLIP", 1},           {"A\xE9", "A\x41", 1},
        {"::Bars", "::Bars", 0},     {"::Bars", "::Black", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        const int r = strcmpClip(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign);
    }
    EXPECT_EQ(strcmpClip(nullptr, ""), 0);
    EXPECT_LT(strcmpClip(nullptr, "A"), 0);
}

TEST(SniprCompare, UnterminatedNames) {
    const char a[8] = {'C', 'L', 'I', 'P', '0', '0', '0', '1'};
    const char b[8] = {'C', 'L', 'I', 'P', ' ', ' ', ' ', ' '};
    EXPECT_EQ(strcmpClip(a, "CLIP0001"), 0);
    EXPECT_EQ(strcmpClip(b, "CLIP"), 0);
    EXPECT_GT(strcmpClip(a, b), 0);
}

TEST(SniprSpecial, Names) {
    struct Case {
        const char* name;
        bool special;
    };
    const Case cases[] = {
        {"::Test", true},  {"::Bars", true}, {"::VTR_TC", true},  {"::Black", true},
        {"::Film", true},  {"::Edit", true}, {"::Other", true},   {"::", true},
        {":Black", false}, {"Black", false}, {" ::Black", false}, {"", false},
        {"CLIP::", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsSpecialClip(c.name) != 0, c.special);
    }
    EXPECT_EQ(IsSpecialClip(nullptr), 0);
}

TEST(SniprTerm, TerminatesAtWidthKeepingBlanks) {
    char name[36];
    std::memset(name, 0, sizeof name);
    std::memcpy(name, "CLIP0001TAIL", 12);
    termClip(name, 8);
    EXPECT_STREQ(name, "CLIP0001");
    EXPECT_EQ(name[9], 'A') << "only the byte at the width changes";

    std::memcpy(name, "        X", 9);
    termClip(name, 8);
    EXPECT_STREQ(name, "        ");

    std::memcpy(name, "AB", 3);
    termClip(name, 8);
    EXPECT_STREQ(name, "AB");

    termClip(name, 0);
    EXPECT_STREQ(name, "");
}

} // namespace

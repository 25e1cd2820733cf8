// Positions written as durations: rows of text and the frame count (at 30
// frames a second) or a refusal.
#include "kxr/kxrutil.h"

#include <gtest/gtest.h>

namespace {

TEST(GsFromString, ReadsDurations) {
    const struct {
        const char* text;
        int32_t frames;
    } rows[] = {
        {"12.5s", 375},
        {"1.5s", 45},
        {"12.5 S", 375},
        {"2sec", 60},
        {".5s", 15},
        {"  .5s  ", 15},
        {"500ms", 15},
        {"33ms", 1},
        {"16ms", 0},
        {"17ms", 1},
        {"0.5ms", 0},
        {"100f", 100},
        {"100FR", 100},
        {"2m", 3600},
        {"2min", 3600},
        {"1.5m", 2700},
        {"1h", 108000},
        {"0.001h", 108},
        {"1m30s", 2700},
        {"1h 2m 3s 4f", 111694},
        {"4f 3s", 94},
        {"1.0000009s", 30},
        {"-2s", -60},
        {"- 2s", -60},
        {"+2s", 60},
        {"-0.01s", 0},
        {"\t007s", 210},
        {"2147483647f", 2147483647},
        {"-2147483648f", INT32_MIN},
        {"71582788s", 2147483640},
        {"71582788s 7f", 2147483647},
    };
    for (const auto& row : rows) {
        int32_t value = 12345;
        EXPECT_EQ(gsFromString(row.text, &value), 1) << row.text;
        EXPECT_EQ(value, row.frames) << row.text;
    }
}

TEST(GsFromString, RefusesOtherTextsAndLeavesTheValue) {
    const char* rows[] = {
        "",
        "   ",
        "12",
        "12.5",
        "s",
        "ms",
        ".s",
        "12x",
        "12 seconds",
        "1.5f",
        "1s2",
        "1s-",
        "--1s",
        "+-1s",
        "1e3s",
        "1..5s",
        "1.2.3s",
        "0x10",
        "00:00:01:00",
        "1s,5f",
        "12s\n",
        "abc",
        "-",
        "2147483648f",
        "-2147483649f",
        "2147483647f 1f",
        "71582789s",
        "99999999999999999999999999999h",
        "100000000000000000000000000000000000000ms",
        "9999999999999999f",
        "99999999999999999m 99999999999999999m",
    };
    for (const char* text : rows) {
        int32_t value = 12345;
        EXPECT_EQ(gsFromString(text, &value), 0) << text;
        EXPECT_EQ(value, 12345) << text;
    }
}

TEST(GsFromString, RefusesNullPointers) {
    int32_t value = 7;
    EXPECT_EQ(gsFromString(nullptr, &value), 0);
    EXPECT_EQ(value, 7);
    EXPECT_EQ(gsFromString("2s", nullptr), 0);
}

} // namespace

// Positions written as durations: frame counts at 30 frames a second, or a refusal.
#include "kxr/kxrutil.h"

#include <gtest/gtest.h>

#include <utility>

constexpr int64_t kRefused = INT64_MIN;

// The frame count read, or kRefused; a refused text leaves the value as it was.
int64_t Parse(const char* text) {
    int32_t value = 12345;
    if (gsFromString(text, &value) == 1)
        return value;
    EXPECT_EQ(value, 12345) << text;
    return kRefused;
}

TEST(GsFromString, ReadsDurations) {
    const std::pair<const char*, int32_t> rows[] = {
        {"12.5 S", 375},    {"2sec", 60},   {"\t .5s  ", 15}, {"16ms", 0},
        {"17ms", 1},        {"100FR", 100}, {"2min", 3600},   {"0.001h", 108},
        {"1.0000009s", 30}, {"- 2s", -60},  {"-0.01s", 0},    {"1h 2m 3s 4f", 111694},
    };
    for (const auto& [text, frames] : rows)
        EXPECT_EQ(Parse(text), frames) << text;
    EXPECT_EQ(Parse("-2147483648f"), INT32_MIN);
    EXPECT_EQ(Parse("71582788s 7f"), INT32_MAX);
}

TEST(GsFromString, RefusesOtherTexts) {
    const char* rows[] = {"",           "   ",         "12",           ".s",
                          "12 seconds", "1.5f",        "1s2",          "1s-",
                          "+-1s",       "1e3s",        "0x10",         "00:00:01:00",
                          "12s\n",      "2147483648f", "-2147483649f", "2147483647f 1f",
                          "71582789s",  nullptr};
    for (const char* text : rows)
        EXPECT_EQ(Parse(text), kRefused) << text;
    EXPECT_EQ(Parse("99999999999999999999999999999h"), kRefused);
    EXPECT_EQ(gsFromString("2s", nullptr), 0);
}

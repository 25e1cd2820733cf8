#include "kxr/tempex.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

constexpr uint32_t kRead = TEMPEX_FLAG_LENIENT;
constexpr uint32_t kSigned = TEMPEX_FLAG_SIGNED;
// What the writer emits without hour wrapping, so every count comes back.
constexpr uint32_t kWriteAll = TEMPEX_FLAG_LENIENT | TEMPEX_FLAG_DROP_MARK | TEMPEX_FLAG_SIGNED;
constexpr int64_t no = INT64_MIN; // refused

std::string Write(int32_t frames, uint32_t typeAndFlags) {
    char text[TEMPEX_TEXT_SIZE];
    TcFramesToText(frames, typeAndFlags, text);
    return text;
}

int64_t Read(const char* text, uint32_t typeAndFlags) {
    int32_t frames = 777;
    if (TcTextToFrames(text, typeAndFlags, &frames) != 1) {
        EXPECT_EQ(frames, 0) << "refused text must clear the count: " << text;
        return no;
    }
    return frames;
}

// Code, frame numbers per second, numbers skipped per minute, real frames in a day.
const std::tuple<uint32_t, int64_t, int64_t, int64_t> kTypes[] = {
    {kTcNone, 30, 0, 2592000},      {kTcFilm, 24, 0, 2073600}, {kTcNonDrop, 30, 0, 2592000},
    {kTcDropFrame, 30, 2, 2589408}, {kTcPal, 25, 0, 2160000},  {kTc50, 50, 0, 4320000},
    {kTc5994, 60, 4, 5178816},      {kTc60, 60, 0, 5184000},   {kTcFilmDrop, 24, 0, 2073600},
    {kTc2398, 24, 0, 2073600},      {200, 30, 0, 2592000},
};

// Rows marked 0 are read only: a skipped number reads as the next frame.
TEST(Tempex, DropFrameBoundaries) {
    const uint32_t df = kTcDropFrame, df60 = kTc5994;
    const std::tuple<uint32_t, const char*, int32_t, bool> rows[] = {
        {df, "00:00:59;29", 1799, 1},   {df, "00:01:00;02", 1800, 1},
        {df, "00:10:00;00", 17982, 1},  {df, "01:00:00;00", 107892, 1},
        {df60, "00:01:00;04", 3600, 1}, {df60, "00:10:00;03", 35967, 1},
        {df, "00:01:00;00", 1800, 0},   {df, "00:01:00;01", 1800, 0},
        {df60, "00:01:00:03", 3600, 0}, {df, "00:20:00;00", 35964, 0},
    };
    for (const auto& [type, text, frames, write] : rows) {
        EXPECT_EQ(Read(text, type | kRead), frames) << text;
        if (write) {
            EXPECT_EQ(Write(frames, type | kWriteAll), text);
        }
    }
}

TEST(Tempex, RateLimitsAndRoundTripSweep) {
    for (const auto& [code, fps, drop, day] : kTypes) {
        SCOPED_TRACE(code);
        EXPECT_EQ(Read("01:00:00:00", code), day / 24);
        EXPECT_EQ(Read(("00:00:01:" + std::to_string(fps - 1)).c_str(), code), 2 * fps - 1);
        EXPECT_EQ(Read(("00:00:01:" + std::to_string(fps)).c_str(), code), no);
        std::vector<int64_t> counts = {INT32_MAX, INT32_MIN, -1, day - 1, day, -day, -day - 1};
        for (int64_t n = 0; n < 3 * 3600 * fps; n += (n < 11 * 60 * fps ? 1 : 7))
            counts.push_back(n);
        for (int64_t n : counts) {
            const auto frames = static_cast<int32_t>(n);
            const std::string text = Write(frames, code | kWriteAll);
            ASSERT_EQ(Read(text.c_str(), code | kWriteAll), n) << text;
            unsigned m = 0, s = 0, f = 0; // no text names a skipped frame number
            ASSERT_EQ(std::sscanf(&text[text[0] == '-'], "%*u:%u:%u%*c%u", &m, &s, &f), 3);
            ASSERT_FALSE(drop > 0 && s == 0 && f < drop && m % 10 != 0) << text;
            // Day wrapping keeps the sign; unsigned writing puts a negative count into the day.
            const int64_t wrapped = n < 0 ? -(-n % day) : n % day, inDay = (n % day + day) % day;
            ASSERT_EQ(Read(Write(frames, code | 0x32100u).c_str(), code | kWriteAll), wrapped);
            ASSERT_EQ(Read(Write(frames, code | TEMPEX_FLAG_DAY_WRAP).c_str(), code), inDay);
        }
    }
}

TEST(Tempex, ReadForms) {
    const uint32_t pal = kTcPal | kRead, palS = pal | kSigned, num = kTcFrames;
    const std::tuple<const char*, uint32_t, int64_t> accepted[] = {
        {"5:00", pal, 125},
        {"1.2,3;4", pal, 93079},
        {" 00:00:01:00\r\n", pal, 25},
        {"100:00:00:00", kTcPal, 9000000},
        {"+00:00:05:00", palS, 125},
        {"23860:55:45:22", pal, INT32_MAX},
        {"-23860:55:45:23", palS, INT32_MIN},
        {"-2147483648", num | kSigned, INT32_MIN}};
    for (const auto& [text, flags, frames] : accepted)
        EXPECT_EQ(Read(text, flags), frames) << text;
    for (const char* text : {"-5:00", "", "1::2", "1:2:3:4:5", "00:00:60:00", "00:60:00:00", "12a",
                             "23860:55:45:23", "00:00:00:99999999999999999999999"})
        EXPECT_EQ(Read(text, pal), no) << text;
    EXPECT_EQ(Read("5:00", kTcPal), no); // one to three fields only when lenient
    EXPECT_EQ(Read("--5:00", palS), no);
    EXPECT_EQ(Read("-23860:55:45:24", palS), no);
    EXPECT_EQ(Read("2147483648", num), no);
    EXPECT_EQ(Read(nullptr, pal), no);
}

TEST(Tempex, WriteForms) {
    const uint32_t wrap = TEMPEX_FLAG_DAY_WRAP, mark = TEMPEX_FLAG_DROP_MARK;
    const std::tuple<int32_t, uint32_t, const char*> rows[] = {
        {2250000, kTcPal | wrap, "01:00:00:00"},
        {-1, kTcPal, "23:59:59:24"},
        {1800, kTcDropFrame, "00:01:00:02"},
        {1800, kTcNonDrop | mark, "00:01:00:00"},
        {INT32_MIN, kTcFilm | kSigned, "-24855:08:05:08"},
        {INT32_MAX, kTc60, "9942:03:14:07"},
        {INT32_MIN, kTcFrames | 0x32100u, "-2147483648"}};
    for (const auto& [frames, flags, text] : rows)
        EXPECT_EQ(Write(frames, flags), text);
    // No type, flag set or extreme count writes past the buffer.
    for (uint32_t code = 0; code < 256; ++code)
        for (uint32_t flags : {0u, 0x32100u, 0xFFFFFF00u})
            for (int32_t n : {INT32_MIN, -1, INT32_MAX}) {
                char text[2 * TEMPEX_TEXT_SIZE];
                std::memset(text, 0x5A, sizeof text);
                const int32_t len = TcFramesToText(n, code | flags, text);
                ASSERT_LT(len, TEMPEX_TEXT_SIZE) << code << " " << flags << " " << n;
                ASSERT_EQ(std::strlen(text), static_cast<std::size_t>(len));
                ASSERT_EQ(text[TEMPEX_TEXT_SIZE], 0x5A);
            }
}

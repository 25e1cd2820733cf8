#include "kxr/tempex.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kRead = TEMPEX_FLAG_LENIENT;
constexpr uint32_t kWrite = 0x32100u;
// What the writer emits without hour wrapping, so every count comes back.
constexpr uint32_t kWriteAll = TEMPEX_FLAG_LENIENT | TEMPEX_FLAG_DROP_MARK | TEMPEX_FLAG_SIGNED;

std::string Write(int32_t frames, uint32_t typeAndFlags) {
    char text[TEMPEX_TEXT_SIZE];
    const int32_t n = TcFramesToText(frames, typeAndFlags, text);
    EXPECT_EQ(static_cast<std::size_t>(n), std::strlen(text));
    return text;
}

// Returns the count, or INT64_MIN when the text is refused.
int64_t Read(const char* text, uint32_t typeAndFlags) {
    int32_t frames = 777;
    if (TcTextToFrames(text, typeAndFlags, &frames) != 1) {
        EXPECT_EQ(frames, 0) << "refused text must clear the count: " << text;
        return INT64_MIN;
    }
    return frames;
}

struct TypeInfo {
    uint32_t code;
    int64_t fps;  // frame numbers per second
    int64_t drop; // numbers skipped per minute
    int64_t day;  // real frames in 24 hours
};

const TypeInfo kTypes[] = {
    {kTcNone, 30, 0, 2592000},      {kTcFilm, 24, 0, 2073600}, {kTcNonDrop, 30, 0, 2592000},
    {kTcDropFrame, 30, 2, 2589408}, {kTcPal, 25, 0, 2160000},  {kTc50, 50, 0, 4320000},
    {kTc5994, 60, 4, 5178816},      {kTc60, 60, 0, 5184000},   {kTcFilmDrop, 24, 0, 2073600},
    {kTc2398, 24, 0, 2073600},      {3, 30, 0, 2592000},       {200, 30, 0, 2592000},
};

// True when a drop-frame text names a frame number that does not exist.
bool NamesSkippedNumber(const std::string& text, int64_t drop) {
    unsigned h = 0, m = 0, s = 0, f = 0;
    const char* p = text.c_str();
    if (*p == '-') {
        ++p;
    }
    if (std::sscanf(p, "%u:%u:%u%*c%u", &h, &m, &s, &f) != 4) {
        ADD_FAILURE() << "unexpected text " << text;
        return true;
    }
    return drop > 0 && s == 0 && f < drop && m % 10 != 0;
}

TEST(TempexDropFrame, BoundariesBothWays) {
    struct Case {
        uint32_t type;
        const char* text; // as written with the drop mark
        int32_t frames;
    };
    const Case cases[] = {
        {kTcDropFrame, "00:00:59;29", 1799},    {kTcDropFrame, "00:01:00;02", 1800},
        {kTcDropFrame, "00:01:59;29", 3597},    {kTcDropFrame, "00:02:00;02", 3598},
        {kTcDropFrame, "00:09:59;29", 17981},   {kTcDropFrame, "00:10:00;00", 17982},
        {kTcDropFrame, "00:10:00;01", 17983},   {kTcDropFrame, "00:11:00;02", 19782},
        {kTcDropFrame, "00:59:59;29", 107891},  {kTcDropFrame, "01:00:00;00", 107892},
        {kTcDropFrame, "23:59:59;29", 2589407}, {kTcDropFrame, "24:00:00;00", 2589408},
        {kTc5994, "00:00:59;59", 3599},         {kTc5994, "00:01:00;04", 3600},
        {kTc5994, "00:09:59;59", 35963},        {kTc5994, "00:10:00;00", 35964},
        {kTc5994, "00:10:00;03", 35967},        {kTc5994, "00:11:00;04", 39564},
        {kTc5994, "01:00:00;00", 215784},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Read(c.text, c.type | kRead), c.frames);
        EXPECT_EQ(Write(c.frames, c.type | kWriteAll), c.text);
    }
}

TEST(TempexDropFrame, SkippedNumbersReadAsTheNextFrame) {
    EXPECT_EQ(Read("00:01:00;00", kTcDropFrame | kRead), 1800);
    EXPECT_EQ(Read("00:01:00;01", kTcDropFrame | kRead), 1800);
    EXPECT_EQ(Read("01:07:00;00", kTcDropFrame | kRead), Read("01:07:00;02", kTcDropFrame));
    EXPECT_EQ(Read("00:01:00:03", kTc5994 | kRead), 3600);
    // Not skipped in a tenth minute, nor away from the minute's start.
    EXPECT_EQ(Read("00:20:00;00", kTcDropFrame | kRead), 2 * 17982);
    EXPECT_EQ(Read("00:01:01;00", kTcDropFrame | kRead), 1828);
}

TEST(TempexRates, OneSecondAndOneHourPerType) {
    for (const TypeInfo& t : kTypes) {
        SCOPED_TRACE(t.code);
        EXPECT_EQ(Read("00:00:01:00", t.code), t.fps);
        EXPECT_EQ(Read("01:00:00:00", t.code), t.day / 24);
        EXPECT_EQ(Write(static_cast<int32_t>(t.fps), t.code), "00:00:01:00");
        // The highest frame number of the rate, and one past it.
        const std::string last = "00:00:01:" + std::to_string(t.fps - 1);
        EXPECT_EQ(Read(last.c_str(), t.code), 2 * t.fps - 1);
        const std::string over = "00:00:01:" + std::to_string(t.fps);
        EXPECT_EQ(Read(over.c_str(), t.code), INT64_MIN);
    }
}

TEST(TempexRoundTrip, SweepEveryType) {
    for (const TypeInfo& t : kTypes) {
        SCOPED_TRACE(t.code);
        std::vector<int64_t> counts;
        for (int64_t n = 0; n < 3 * 3600 * t.fps; n += 7) {
            counts.push_back(n);
        }
        for (int64_t n = 0; n < 11 * 60 * t.fps; ++n) {
            counts.push_back(n);
        }
        for (int64_t d = -3; d <= 3; ++d) {
            counts.push_back(t.day + d);
            counts.push_back(2 * t.day + d);
            counts.push_back(-t.day + d);
        }
        counts.push_back(INT32_MAX);
        counts.push_back(INT32_MIN);
        counts.push_back(INT32_MIN + 1);
        counts.push_back(-1);

        std::string previous;
        for (int64_t n : counts) {
            const auto frames = static_cast<int32_t>(n);
            const std::string text = Write(frames, t.code | kWriteAll);
            ASSERT_EQ(Read(text.c_str(), t.code | kWriteAll), n) << text;
            ASSERT_FALSE(NamesSkippedNumber(text, t.drop)) << n << " -> " << text;
            ASSERT_NE(text, previous) << n;
            previous = text;

            // Day wrapping keeps the sign and wraps the magnitude.
            const int64_t wrapped = n < 0 ? -(-n % t.day) : n % t.day;
            ASSERT_EQ(
                Read(Write(frames, t.code | kWrite).c_str(), t.code | kRead | TEMPEX_FLAG_SIGNED),
                wrapped);
            // Unsigned writing puts a negative count into the day.
            const int64_t inDay = ((n % t.day) + t.day) % t.day;
            ASSERT_EQ(Read(Write(frames, t.code | TEMPEX_FLAG_DAY_WRAP).c_str(), t.code), inDay);
        }
    }
}

TEST(TempexRoundTrip, PlainFrameCount) {
    const int32_t counts[] = {0, 1, 12, -5, 1799, INT32_MAX, INT32_MIN};
    for (int32_t n : counts) {
        const std::string text = Write(n, kTcFrames | kWrite);
        EXPECT_EQ(text, std::to_string(n));
        EXPECT_EQ(Read(text.c_str(), kTcFrames | kRead | TEMPEX_FLAG_SIGNED), n);
    }
    EXPECT_EQ(Read("12", kTcFrames), 12);
    EXPECT_EQ(Read("-12", kTcFrames), INT64_MIN);
    EXPECT_EQ(Read("00:00:01:00", kTcFrames | kRead), INT64_MIN);
    EXPECT_EQ(Read("2147483648", kTcFrames), INT64_MIN);
    EXPECT_EQ(Read("-2147483648", kTcFrames | TEMPEX_FLAG_SIGNED), INT32_MIN);
}

TEST(TempexText, FieldForms) {
    struct Case {
        const char* text;
        uint32_t typeAndFlags;
        int64_t frames; // INT64_MIN: refused
    };
    const Case cases[] = {
        {"12", kTcPal | kRead, 12},
        {"5:00", kTcPal | kRead, 125},
        {"2:03:04", kTcPal | kRead, (2 * 60 + 3) * 25 + 4},
        {"1:0:0:0", kTcPal | kRead, 90000},
        {"1.2,3;4", kTcPal | kRead, ((60 + 2) * 60 + 3) * 25 + 4},
        {"  00:00:01:00 \r\n", kTcPal | kRead, 25},
        {"0000000001:00:00:00", kTcPal, 90000},
        {"100:00:00:00", kTcPal, 100 * 90000},
        {"1:00;00", kTcDropFrame | kRead, 1800},
        {"5:00", kTcPal, INT64_MIN},
        {"12", kTcPal, INT64_MIN},
        {"00:00:05:00", kTcPal, 125},
        {"-00:00:05:00", kTcPal | kRead | TEMPEX_FLAG_SIGNED, -125},
        {"+5:00", kTcPal | kRead | TEMPEX_FLAG_SIGNED, 125},
        {"-5:00", kTcPal | kRead, INT64_MIN},
        {"+5:00", kTcPal | kRead, INT64_MIN},
        {"--5:00", kTcPal | kRead | TEMPEX_FLAG_SIGNED, INT64_MIN},
        {"5:-00", kTcPal | kRead | TEMPEX_FLAG_SIGNED, INT64_MIN},
        {"", kTcPal | kRead, INT64_MIN},
        {":", kTcPal | kRead, INT64_MIN},
        {"1:", kTcPal | kRead, INT64_MIN},
        {":1", kTcPal | kRead, INT64_MIN},
        {"1::2", kTcPal | kRead, INT64_MIN},
        {"1:2:3:4:5", kTcPal | kRead, INT64_MIN},
        {"00:00:00:25", kTcPal | kRead, INT64_MIN},
        {"00:00:60:00", kTcPal | kRead, INT64_MIN},
        {"00:60:00:00", kTcPal | kRead, INT64_MIN},
        {"00:00:00;30", kTcDropFrame | kRead, INT64_MIN},
        {"12a", kTcPal | kRead, INT64_MIN},
        {"1 2", kTcPal | kRead, INT64_MIN},
        {"0x10", kTcPal | kRead, INT64_MIN},
        {"00:00 :01:00", kTcPal | kRead, INT64_MIN},
        // Counts beyond 32 bits are refused, not wrapped.
        {"23860:55:45:22", kTcPal | kRead, INT32_MAX},
        {"23860:55:45:23", kTcPal | kRead, INT64_MIN},
        {"-23860:55:45:23", kTcPal | kRead | TEMPEX_FLAG_SIGNED, INT32_MIN},
        {"-23860:55:45:24", kTcPal | kRead | TEMPEX_FLAG_SIGNED, INT64_MIN},
        {"-23860:55:46:00", kTcPal | kRead | TEMPEX_FLAG_SIGNED, INT64_MIN},
        {"99999999999999999999999999:00:00:00", kTcPal | kRead, INT64_MIN},
        {"00:00:00:99999999999999999999999", kTcPal | kRead, INT64_MIN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Read(c.text, c.typeAndFlags), c.frames);
    }
}

TEST(TempexText, NullPointers) {
    int32_t frames = 5;
    EXPECT_EQ(TcTextToFrames(nullptr, kTcPal | kRead, &frames), 0);
    EXPECT_EQ(frames, 0);
    EXPECT_EQ(TcTextToFrames("00:00:01:00", kTcPal, nullptr), 1);
    EXPECT_EQ(TcFramesToText(25, kTcPal, nullptr), 0);
}

TEST(TempexWrite, FlagForms) {
    struct Case {
        int32_t frames;
        uint32_t typeAndFlags;
        const char* text;
    };
    const Case cases[] = {
        {25 * 3600 * 25, kTcPal, "25:00:00:00"},
        {25 * 3600 * 25, kTcPal | TEMPEX_FLAG_DAY_WRAP, "01:00:00:00"},
        {-25 * 3600 * 25, kTcPal | TEMPEX_FLAG_SIGNED | TEMPEX_FLAG_DAY_WRAP, "-01:00:00:00"},
        {-25 * 3600 * 25, kTcPal | TEMPEX_FLAG_SIGNED, "-25:00:00:00"},
        {-1, kTcPal, "23:59:59:24"},
        {-1, kTcDropFrame | TEMPEX_FLAG_DROP_MARK, "23:59:59;29"},
        {-2589408, kTcDropFrame, "00:00:00:00"},
        {1800, kTcDropFrame, "00:01:00:02"},
        {1800, kTcNonDrop | TEMPEX_FLAG_DROP_MARK, "00:01:00:00"},
        {INT32_MIN, kTcFilm | TEMPEX_FLAG_SIGNED, "-24855:08:05:08"},
        {INT32_MIN, kTcPal | TEMPEX_FLAG_SIGNED, "-23860:55:45:23"},
        {INT32_MAX, kTc60, "9942:03:14:07"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Write(c.frames, c.typeAndFlags), c.text);
    }
}

TEST(TempexWrite, ExtremesStayInsideTheBuffer) {
    const int32_t counts[] = {INT32_MIN, INT32_MIN + 1, -1, 0, INT32_MAX};
    const uint32_t flagSets[] = {
        0,      kRead,      TEMPEX_FLAG_DROP_MARK, TEMPEX_FLAG_SIGNED, TEMPEX_FLAG_DAY_WRAP,
        kWrite, 0xFFFFFF00u};
    for (uint32_t code = 0; code < 256; ++code) {
        for (uint32_t flags : flagSets) {
            for (int32_t n : counts) {
                char text[2 * TEMPEX_TEXT_SIZE];
                std::memset(text, 0x5A, sizeof text);
                const int32_t len = TcFramesToText(n, code | flags, text);
                const void* end = std::memchr(text, '\0', TEMPEX_TEXT_SIZE);
                ASSERT_NE(end, nullptr) << code << " " << flags << " " << n;
                ASSERT_EQ(static_cast<const char*>(end) - text, len);
                for (std::size_t i = TEMPEX_TEXT_SIZE; i < sizeof text; ++i) {
                    ASSERT_EQ(text[i], 0x5A) << code << " " << flags << " " << n;
                }
            }
        }
    }
}

TEST(TempexHex, Values) {
    struct Case {
        const char* text;
        int32_t result;
        uint32_t value;
    };
    const Case cases[] = {
        {"0", 1, 0},
        {"ff", 1, 255},
        {"DeadBeef", 1, 0xDEADBEEFu},
        {"FFFFFFFF", 1, 0xFFFFFFFFu},
        {"123456789", 1, 0x23456789u},
        {"100000000", 1, 0},
        {"1g", 1, 1},
        {"10&channel=2", 1, 16},
        {"0x10", 1, 0},
        {"", 0, 0},
        {"g", 0, 0},
        {" 1", 0, 0},
        {"-1", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        uint32_t value = 12345;
        EXPECT_EQ(TcHexToValue(c.text, 0, &value), c.result);
        EXPECT_EQ(value, c.value);
    }
    uint32_t value = 12345;
    EXPECT_EQ(TcHexToValue(nullptr, 0, &value), 0);
    EXPECT_EQ(value, 0u);
}

} // namespace

#include "platform/kxr_time.h"

#include <gtest/gtest.h>

namespace kp = kxr::platform;

TEST(PlatformTime, FileTimeConversions) {
    struct Row {
        int64_t unixSeconds;
        uint64_t fileTime;
    };
    const Row rows[] = {
        {0, 116444736000000000ULL},  {1, 116444736010000000ULL},
        {-1, 116444735990000000ULL}, {1700000000, 133444736000000000ULL},
        {-11644473600, 0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(kp::FileTimeFromUnix(row.unixSeconds), row.fileTime) << row.unixSeconds;
        EXPECT_EQ(kp::UnixFromFileTime(row.fileTime), row.unixSeconds) << row.unixSeconds;
    }
    // Parts of a second round towards the past on both sides of the epoch.
    EXPECT_EQ(kp::FileTimeFromUnix(5, 999999999), 116444736059999999ULL);
    EXPECT_EQ(kp::UnixFromFileTime(116444736059999999ULL), 5);
    EXPECT_EQ(kp::UnixFromFileTime(116444735999999999ULL), -1);
}

TEST(PlatformTime, UtcCalendarFields) {
    struct Row {
        int64_t seconds;
        int year, month, day, hour, minute, second, weekday;
    };
    const Row rows[] = {
        {0, 1970, 1, 1, 0, 0, 0, 4},
        {951782400, 2000, 2, 29, 0, 0, 0, 2},
        {1700000000, 2023, 11, 14, 22, 13, 20, 2},
        {4102444799, 2099, 12, 31, 23, 59, 59, 4},
    };
    for (const auto& row : rows) {
        kp::CalendarTime t;
        ASSERT_TRUE(kp::UtcCalendar(row.seconds, &t)) << row.seconds;
        EXPECT_EQ(t.year, row.year) << row.seconds;
        EXPECT_EQ(t.month, row.month) << row.seconds;
        EXPECT_EQ(t.day, row.day) << row.seconds;
        EXPECT_EQ(t.hour, row.hour) << row.seconds;
        EXPECT_EQ(t.minute, row.minute) << row.seconds;
        EXPECT_EQ(t.second, row.second) << row.seconds;
        EXPECT_EQ(t.weekday, row.weekday) << row.seconds;
    }
    EXPECT_STREQ(kp::kDayAbbrev[4], "Thu");
    EXPECT_STREQ(kp::kMonthAbbrev[10], "Nov");
}

TEST(PlatformTime, SleepWaitsOnTheMonotonicClock) {
    const uint64_t start = kp::MonotonicMs();
    kp::SleepMs(30);
    const uint64_t elapsed = kp::MonotonicMs() - start;
    EXPECT_GE(elapsed, 30u);
    EXPECT_LT(elapsed, 5000u);
}

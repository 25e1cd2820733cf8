#include "platform/kxr_time.h"

#include <gtest/gtest.h>

#include <array>
#include <utility>

namespace kp = kxr::platform;

TEST(PlatformTime, FileTimeConversions) {
    const std::pair<int64_t, uint64_t> rows[] = {
        {0, 116444736000000000ULL},  {1, 116444736010000000ULL},
        {-1, 116444735990000000ULL}, {1700000000, 133444736000000000ULL},
        {-11644473600, 0},
    };
    for (const auto& [unixSeconds, fileTime] : rows) {
        EXPECT_EQ(kp::FileTimeFromUnix(unixSeconds), fileTime) << unixSeconds;
        EXPECT_EQ(kp::UnixFromFileTime(fileTime), unixSeconds) << unixSeconds;
    }
    // Parts of a second round towards the past on both sides of the epoch.
    EXPECT_EQ(kp::FileTimeFromUnix(5, 999999999), 116444736059999999ULL);
    EXPECT_EQ(kp::UnixFromFileTime(116444736059999999ULL), 5);
    EXPECT_EQ(kp::UnixFromFileTime(116444735999999999ULL), -1);
}

TEST(PlatformTime, UtcCalendarFields) {
    // Seconds, then year, month, day, hour, minute, second and weekday.
    const std::pair<int64_t, std::array<int, 7>> rows[] = {
        {0, {1970, 1, 1, 0, 0, 0, 4}},
        {951782400, {2000, 2, 29, 0, 0, 0, 2}},
        {1700000000, {2023, 11, 14, 22, 13, 20, 2}},
        {4102444799, {2099, 12, 31, 23, 59, 59, 4}},
    };
    for (const auto& [seconds, fields] : rows) {
        kp::CalendarTime t;
        ASSERT_TRUE(kp::UtcCalendar(seconds, &t)) << seconds;
        EXPECT_EQ(
            (std::array<int, 7>{t.year, t.month, t.day, t.hour, t.minute, t.second, t.weekday}),
            fields)
            << seconds;
    }
}

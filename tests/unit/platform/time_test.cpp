#include "platform/kxr_time.h"

#include <gtest/gtest.h>

#include <array>
#include <utility>

namespace kp = kxr::platform;

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

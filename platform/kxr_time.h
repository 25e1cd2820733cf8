// Clocks, calendar conversion and sleeping.
#ifndef KXR_PLATFORM_TIME_H
#define KXR_PLATFORM_TIME_H

#include <cstdint>

namespace kxr::platform {

struct CalendarTime {
    int year = 0;
    int month = 0; // 1 to 12
    int day = 0;   // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 0; // 0 is Sunday
};

// Milliseconds of a clock that never goes back, counted from an arbitrary start.
uint64_t MonotonicMs();
// Seconds since 1970-01-01 UTC.
int64_t UnixTimeNow();
// Calendar fields of a moment in UTC or in the machine's time zone; false when
// the moment cannot be represented.
bool UtcCalendar(int64_t unixSeconds, CalendarTime* out);
bool LocalCalendar(int64_t unixSeconds, CalendarTime* out);
void SleepMs(uint32_t milliseconds);

// File times count 100 ns ticks since 1601-01-01 UTC.
inline constexpr uint64_t kFileTimeTicksPerSecond = 10000000ULL;
inline constexpr uint64_t kFileTimeUnixEpoch = 116444736000000000ULL;

inline constexpr uint64_t FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds = 0) {
    return static_cast<uint64_t>(static_cast<int64_t>(kFileTimeUnixEpoch) +
                                 seconds * static_cast<int64_t>(kFileTimeTicksPerSecond) +
                                 nanoseconds / 100);
}

// Whole seconds, rounded towards the past.
inline constexpr int64_t UnixFromFileTime(uint64_t fileTime) {
    const int64_t ticks = static_cast<int64_t>(fileTime) - static_cast<int64_t>(kFileTimeUnixEpoch);
    const int64_t perSecond = static_cast<int64_t>(kFileTimeTicksPerSecond);
    return ticks >= 0 ? ticks / perSecond : -((-ticks + perSecond - 1) / perSecond);
}

// Day and month names are English whatever the locale says.
inline constexpr const char* kDayAbbrev[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
inline constexpr const char* kMonthAbbrev[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace kxr::platform

#endif

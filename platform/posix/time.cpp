#include "platform/kxr_time.h"

#include <cerrno>
#include <ctime>

namespace kxr::platform {

namespace {

bool ToCalendar(const std::tm& tm, CalendarTime* out) {
    out->year = tm.tm_year + 1900;
    out->month = tm.tm_mon + 1;
    out->day = tm.tm_mday;
    out->hour = tm.tm_hour;
    out->minute = tm.tm_min;
    out->second = tm.tm_sec;
    out->weekday = tm.tm_wday;
    return true;
}

} // namespace

uint64_t MonotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

int64_t UnixTimeNow() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<int64_t>(ts.tv_sec);
}

bool UtcCalendar(int64_t unixSeconds, CalendarTime* out) {
    const time_t t = static_cast<time_t>(unixSeconds);
    std::tm tm{};
    if (out == nullptr || gmtime_r(&t, &tm) == nullptr)
        return false;
    return ToCalendar(tm, out);
}

bool LocalCalendar(int64_t unixSeconds, CalendarTime* out) {
    const time_t t = static_cast<time_t>(unixSeconds);
    std::tm tm{};
    if (out == nullptr || localtime_r(&t, &tm) == nullptr)
        return false;
    return ToCalendar(tm, out);
}

void SleepMs(uint32_t milliseconds) {
    timespec wait{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    // A signal must not cut the sleep short.
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

} // namespace kxr::platform

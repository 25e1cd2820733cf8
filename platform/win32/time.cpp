#include "platform/kxr_time.h"

#include "platform/win32/win32.h"

namespace kxr::platform {

namespace {

bool ToCalendar(uint64_t fileTime, bool local, CalendarTime* out) {
    if (out == nullptr)
        return false;
    FILETIME time = win32::FileTimeOf(fileTime);
    if (local) {
        // The same conversion that file descriptions use, so that a listed
        // time and a clock read at that moment agree.
        FILETIME localTime;
        if (!FileTimeToLocalFileTime(&time, &localTime))
            return false;
        time = localTime;
    }
    SYSTEMTIME st;
    if (!FileTimeToSystemTime(&time, &st))
        return false;
    out->year = st.wYear;
    out->month = st.wMonth;
    out->day = st.wDay;
    out->hour = st.wHour;
    out->minute = st.wMinute;
    out->second = st.wSecond;
    out->weekday = st.wDayOfWeek;
    return true;
}

// File times hold moments from 1601 on, up to the sign bit.
bool FileTimeOfUnix(int64_t unixSeconds, uint64_t* out) {
    const int64_t perSecond = static_cast<int64_t>(kFileTimeTicksPerSecond);
    const int64_t epochSeconds = static_cast<int64_t>(kFileTimeUnixEpoch) / perSecond;
    if (unixSeconds < -epochSeconds || unixSeconds > INT64_MAX / perSecond - epochSeconds)
        return false;
    *out = FileTimeFromUnix(unixSeconds);
    return true;
}

} // namespace

uint64_t MonotonicMs() {
    // The tick count moves in steps of about 16 ms; the performance counter
    // keeps short waits measurable.
    static const int64_t frequency = [] {
        LARGE_INTEGER f;
        return QueryPerformanceFrequency(&f) && f.QuadPart > 0 ? f.QuadPart : 0;
    }();
    if (frequency == 0)
        return GetTickCount64();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const uint64_t ticks = static_cast<uint64_t>(now.QuadPart);
    const uint64_t perSecond = static_cast<uint64_t>(frequency);
    return ticks / perSecond * 1000u + ticks % perSecond * 1000u / perSecond;
}

int64_t UnixTimeNow() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return UnixFromFileTime(win32::FileTimeValue(now));
}

bool UtcCalendar(int64_t unixSeconds, CalendarTime* out) {
    uint64_t fileTime = 0;
    return FileTimeOfUnix(unixSeconds, &fileTime) && ToCalendar(fileTime, false, out);
}

bool LocalCalendar(int64_t unixSeconds, CalendarTime* out) {
    uint64_t fileTime = 0;
    return FileTimeOfUnix(unixSeconds, &fileTime) && ToCalendar(fileTime, true, out);
}

void SleepMs(uint32_t milliseconds) {
    // Sleep counts in timer ticks and may wake a little early by the
    // monotonic clock; sleep again for what is left.
    const uint64_t end = MonotonicMs() + milliseconds;
    DWORD wait = milliseconds;
    for (;;) {
        Sleep(wait);
        const uint64_t now = MonotonicMs();
        if (now >= end)
            return;
        wait = static_cast<DWORD>(end - now);
    }
}

} // namespace kxr::platform

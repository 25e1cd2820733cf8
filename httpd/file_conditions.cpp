#include "httpd/file_conditions.h"
#include "httpd/server_settings.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace kxr::httpd {

namespace {

constexpr char kIfModifiedSince[] = "If-Modified-Since: ";
constexpr char kRange[] = "Range: ";
constexpr char kIfRange[] = "If-Range: ";
constexpr char kBytes[] = "bytes=";
constexpr size_t kDateCompared = 50;
// Range values and sizes are kept within this so that their sums never
// overflow.
constexpr int64_t kRangeLimit = INT64_C(1) << 61;

int64_t Clamp(int64_t v) {
    return v > kRangeLimit ? kRangeLimit : (v < -kRangeLimit ? -kRangeLimit : v);
}

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void AppendHeader(FilePlan* plan, const char* format, ...) KXR_PRINTF_LIKE(2, 3);

void AppendHeader(FilePlan* plan, const char* format, ...) {
    const size_t used = std::strlen(plan->headerText);
    if (used + 1 >= sizeof plan->headerText)
        return;
    va_list args;
    va_start(args, format);
    std::vsnprintf(plan->headerText + used, sizeof plan->headerText - used, format, args);
    va_end(args);
}

} // namespace

bool ReadDecimal(const char* text, int64_t* value) {
    const char* p = text;
    while (IsSpace(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    if (*p < '0' || *p > '9')
        return false;
    // Accumulated as a negative number so that the lowest value fits too.
    int64_t result = 0;
    bool clamped = false;
    for (; *p >= '0' && *p <= '9'; ++p) {
        const int digit = *p - '0';
        if (result < (INT64_MIN + digit) / 10) {
            clamped = true;
            continue;
        }
        result = result * 10 - digit;
    }
    if (negative)
        *value = clamped ? INT64_MIN : result;
    else
        *value = (clamped || result == INT64_MIN) ? INT64_MAX : -result;
    return true;
}

void ResetConditions(RequestConditions* conditions) {
    conditions->ifModifiedSince[0] = '\0';
    conditions->rangeStart = 0;
    conditions->rangeEnd = 0;
    conditions->suffixLength = -1;
    conditions->rangeFlag = 0;
}

void ParseConditionLine(const char* line, RequestConditions* conditions) {
    if (line == nullptr)
        return;
    if (StartsWith(line, kIfModifiedSince)) {
        std::snprintf(conditions->ifModifiedSince, sizeof conditions->ifModifiedSince, "%s",
                      line + sizeof kIfModifiedSince - 1);
        return;
    }
    if (StartsWith(line, kRange)) {
        const char* bytes = std::strstr(line, kBytes);
        if (bytes == nullptr)
            return;
        const char* rangeText = bytes + sizeof kBytes - 1;
        int64_t value = 0;
        if (rangeText[0] == '-') {
            // "bytes=-N": the last N bytes.
            if (ReadDecimal(rangeText + 1, &value))
                conditions->suffixLength = value > 0 ? Clamp(value) : 0;
            else
                conditions->suffixLength = 0;
        } else {
            conditions->suffixLength = -1;
            if (ReadDecimal(rangeText, &value))
                conditions->rangeStart = Clamp(value);
            const char* dash = std::strchr(rangeText, '-');
            if (dash != nullptr && ReadDecimal(dash + 1, &value))
                conditions->rangeEnd = Clamp(value);
        }
        conditions->rangeFlag += 1;
        return;
    }
    if (StartsWith(line, kIfRange))
        conditions->rangeFlag += 2;
}

void PlanFileAnswer(const RequestConditions& conditions, int64_t fileSize, const char* lastModified,
                    FilePlan* plan) {
    plan->headerText[0] = '\0';
    plan->status = 200;
    int32_t flag = conditions.rangeFlag;
    int64_t start = Clamp(conditions.rangeStart);
    int64_t end = Clamp(conditions.rangeEnd);
    const int64_t size = fileSize < 0 ? 0 : Clamp(fileSize);
    const bool haveIms = conditions.ifModifiedSince[0] != '\0';
    if (flag == 2) {
        // An If-Range without a Range, or two Range lines, asks for no range;
        // what was read still shows in Content-Range.
        flag = 0;
    }

    if (lastModified != nullptr) {
        AppendHeader(plan, "Last-Modified: %s\r\n", lastModified);
        size_t compared = std::strlen(lastModified);
        if (compared > kDateCompared)
            compared = kDateCompared;
        if (haveIms && std::strncmp(conditions.ifModifiedSince, lastModified, compared) == 0)
            plan->status = 304;
    }
    if (flag != 0) {
        plan->status = 200;
        if (conditions.suffixLength >= 0) {
            if (conditions.suffixLength > 0 && size > 0) {
                start = conditions.suffixLength >= size ? 0 : size - conditions.suffixLength;
                end = size - 1;
            } else {
                // "bytes=-0" asks for no byte at all.
                start = size;
                end = 0;
            }
        }
    }

    if (flag != 0 && size != 0 && !haveIms) {
        if (start >= 0 && start < size && end < size) {
            plan->status = 206;
        } else if (flag == 1) {
            plan->status = 416;
            flag = -1;
        } else if (flag == 3) {
            // Only the flag drops: Content-Range still names the asked range.
            flag = 0;
        }
    } else if (flag == 1 && (size != 0 || haveIms)) {
        plan->status = 416;
        flag = -1;
    }

    if (size > 0)
        AppendHeader(plan, "Content-Range: bytes %" PRId64 "-%" PRId64 "/%" PRId64 "\r\n", start,
                     end != 0 ? end : size - 1, size);

    int64_t length;
    if (flag > 0)
        length = end != 0 ? end - start + 1 : size - start;
    else
        length = size;
    plan->start = flag > 0 ? start : 0;
    if (length >= 1 && std::strlen(plan->headerText) < kHeaderTextSize)
        AppendHeader(plan, "Content-Length: %" PRId64 "\r\n", length);
    plan->length = length;
    plan->rangeFlag = flag;
}

} // namespace kxr::httpd

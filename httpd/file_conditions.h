// Conditional and range requests of the file server, without any I/O: the
// header lines are collected into RequestConditions, and PlanFileAnswer turns
// them, with the file's size and date, into the status, the header lines and
// the part of the file to send.
#ifndef KXR_HTTPD_FILE_CONDITIONS_H
#define KXR_HTTPD_FILE_CONDITIONS_H

#include <cstddef>
#include <cstdint>

namespace kxr::httpd {

inline constexpr size_t kIfModifiedSinceSize = 50;
inline constexpr size_t kHeaderTextSize = 4096;

struct RequestConditions {
    char ifModifiedSince[kIfModifiedSinceSize]; // empty when absent
    int64_t rangeStart;
    int64_t rangeEnd;     // 0 counts as no end
    int64_t suffixLength; // "bytes=-N": N; -1 for any other range
    // +1 per Range line with "bytes=", +2 per If-Range line.
    int32_t rangeFlag;
};

void ResetConditions(RequestConditions* conditions);
// Takes what a header line contributes; other lines change nothing.
void ParseConditionLine(const char* line, RequestConditions* conditions);

struct FilePlan {
    int32_t status;    // 200, 206, 304 or 416
    int32_t rangeFlag; // -1 for 416, 0 without a range, above 0 with one
    int64_t start;     // where the body begins in the file
    int64_t length;    // below 1: no Content-Length; send to the end of the file
    char headerText[kHeaderTextSize];
};

// lastModified is the date text of the file ("Tue, 05 Mar 2024 13:05:09 GMT"),
// or null when its status is unknown.
void PlanFileAnswer(const RequestConditions& conditions, int64_t size, const char* lastModified,
                    FilePlan* plan);

// A decimal number as a C conversion reads it: leading white space, a sign,
// digits; clamped to the 64-bit range. False when no digit follows.
bool ReadDecimal(const char* text, int64_t* value);

} // namespace kxr::httpd

#endif

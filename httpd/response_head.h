// Response heads of the static side: status table, content type, extra
// header lines, the server and date lines, and the error pages.
#ifndef KXR_HTTPD_RESPONSE_HEAD_H
#define KXR_HTTPD_RESPONSE_HEAD_H

#include <cstddef>
#include <cstdint>

#include "httpd/connection_record.h"

namespace kxr::httpd {

struct StatusRow {
    int32_t isError;
    int32_t code;
    const char* reason;
};

inline constexpr int32_t kStatusRowCount = 21;
// Row 0 (501) stands for every code the table lacks.
const StatusRow& StatusTableRow(int32_t index);

void ResetResponse(ConnectionRecord* record);
void SetStatus(ConnectionRecord* record, int32_t code);
// Appends header lines (each ending in CR LF), cut to keep extraHeaders
// within kExtraHeadersSize - 1 characters.
void AddResponseHeaders(ConnectionRecord* record, const char* text);
void SetContentTypeFromPath(ConnectionRecord* record, const char* path);

// Writes the head into buffer (never more than capacity - 1 characters, always
// zero-terminated) and returns its length, for the caller to send. For an
// error status it sends the head, and unless headOnly the error page, itself
// and returns 0.
int32_t BuildResponseHead(ConnectionRecord* record, int32_t headOnly, char* buffer,
                          size_t capacity);

// "Tue, 05 Mar 2024 13:05:09 GMT": the moment in UTC with English names and
// the 24-hour clock. Returns the length (0 when the moment has no calendar
// date).
size_t FormatHttpDate(int64_t unixSeconds, char* out, size_t capacity);

} // namespace kxr::httpd

#endif

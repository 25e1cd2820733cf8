#include "httpd/response_head.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "httpd/listener.h"
#include "httpd/mime_types.h"
#include "httpd/server_settings.h"
#include "platform/kxr_time.h"

namespace kxr::httpd {

namespace {

constexpr StatusRow kStatusTable[kStatusRowCount] = {
    {1, 501, "Not Implemented"},
    {0, 200, "OK"},
    {0, 201, "Created"},
    {0, 206, "Partial Content"},
    {1, 301, "Moved Permanently"},
    {0, 304, "Not Modified"},
    {0, 307, "Tempory Redirect"},
    {1, 400, "Bad Request"},
    {1, 403, "Forbidden"},
    {1, 404, "Not Found"},
    {1, 416, "Requested Range Not Satisfiable"},
    {0, 204, "No Content"},
    {1, 401, "Unauthorized"},
    {1, 409, "Conflict"},
    {1, 411, "Length Required"},
    {1, 413, "Payload Too Large"},
    {1, 422, "Unprocessable Entity"},
    {1, 428, "Precondition Required"},
    {1, 429, "Too Many Requests"},
    {1, 500, "Internal Server Error"},
    {1, 503, "Service Unavailable"},
};

// Appends formatted text at *used, cut to what the buffer holds; the buffer
// stays zero-terminated.
void AppendFormat(char* buffer, size_t capacity, size_t* used, const char* format, ...)
    KXR_PRINTF_LIKE(4, 5);

void AppendFormat(char* buffer, size_t capacity, size_t* used, const char* format, ...) {
    if (*used + 1 >= capacity)
        return;
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(buffer + *used, capacity - *used, format, args);
    va_end(args);
    if (written < 0)
        return;
    const size_t room = capacity - *used - 1;
    *used += static_cast<size_t>(written) < room ? static_cast<size_t>(written) : room;
}

size_t BoundedLength(const char* text, size_t capacity) {
    const void* end = std::memchr(text, '\0', capacity);
    return end != nullptr ? static_cast<size_t>(static_cast<const char*>(end) - text)
                          : capacity - 1;
}

void WriteAccessLogLine(const ConnectionRecord* record, const StatusRow& row) {
    if (GetServerSettings().logEnabled != 1)
        return;
    char when[64] = "";
    platform::CalendarTime t;
    if (platform::LocalCalendar(platform::UnixTimeNow(), &t)) {
        const int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
        std::snprintf(when, sizeof when, "%s %s %02d %02d:%02d:%02d %d",
                      platform::kDayAbbrev[t.weekday], platform::kMonthAbbrev[t.month - 1], t.day,
                      hour12, t.minute, t.second, t.year);
    }
    const char* descriptor =
        record->logDescriptor != nullptr ? record->logDescriptor : record->contentType;
    LogLine("%s : %s %d %s : %s", when, record->accessText, row.code, row.reason, descriptor);
}

} // namespace

const StatusRow& StatusTableRow(int32_t index) {
    return kStatusTable[index >= 0 && index < kStatusRowCount ? index : 0];
}

void ResetResponse(ConnectionRecord* record) {
    record->statusIndex = 0;
    record->contentType[0] = '\0';
    record->extraHeaders[0] = '\0';
    record->logDescriptor = nullptr;
}

void SetStatus(ConnectionRecord* record, int32_t code) {
    record->statusIndex = 0;
    for (int32_t i = 1; i < kStatusRowCount; ++i) {
        if (kStatusTable[i].code == code) {
            record->statusIndex = i;
            return;
        }
    }
}

void AddResponseHeaders(ConnectionRecord* record, const char* text) {
    if (text == nullptr)
        return;
    const size_t used = BoundedLength(record->extraHeaders, kExtraHeadersSize);
    const size_t room = kExtraHeadersSize - 1 - used;
    const size_t length = std::strlen(text);
    const size_t copied = length < room ? length : room;
    std::memcpy(record->extraHeaders + used, text, copied);
    record->extraHeaders[used + copied] = '\0';
}

void SetContentTypeFromPath(ConnectionRecord* record, const char* path) {
    record->contentType[0] = '\0';
    if (path == nullptr)
        return;
    const char* dot = std::strrchr(path, '.');
    if (dot == nullptr)
        return;
    const char* type = MimeTypeForExtension(dot + 1);
    if (type == nullptr)
        return;
    std::snprintf(record->contentType, kContentTypeSize, "%s", type);
}

size_t FormatHttpDate(int64_t unixSeconds, char* out, size_t capacity) {
    if (capacity == 0)
        return 0;
    out[0] = '\0';
    platform::CalendarTime t;
    if (!platform::UtcCalendar(unixSeconds, &t) || t.weekday < 0 || t.weekday > 6 || t.month < 1 ||
        t.month > 12)
        return 0;
    const int written = std::snprintf(
        out, capacity, "%s, %02d %s %d %02d:%02d:%02d GMT", platform::kDayAbbrev[t.weekday], t.day,
        platform::kMonthAbbrev[t.month - 1], t.year, t.hour, t.minute, t.second);
    if (written < 0)
        return 0;
    return static_cast<size_t>(written) < capacity ? static_cast<size_t>(written) : capacity - 1;
}

int32_t BuildResponseHead(ConnectionRecord* record, int32_t headOnly, char* buffer,
                          size_t capacity) {
    if (buffer == nullptr || capacity == 0)
        return 0;
    const StatusRow& row = StatusTableRow(record->statusIndex);
    const ServerSettings& s = GetServerSettings();
    WriteAccessLogLine(record, row);

    size_t used = 0;
    buffer[0] = '\0';
    AppendFormat(buffer, capacity, &used, "HTTP/1.1 %d %s\r\n", row.code, row.reason);
    const size_t typeLength = BoundedLength(record->contentType, kContentTypeSize);
    if (typeLength != 0)
        AppendFormat(buffer, capacity, &used, "Content-Type: %.*s\r\n",
                     static_cast<int>(typeLength), record->contentType);
    const size_t extraLength = BoundedLength(record->extraHeaders, kExtraHeadersSize);
    if (extraLength != 0 && extraLength < capacity - 1 - used) {
        std::memcpy(buffer + used, record->extraHeaders, extraLength);
        used += extraLength;
        buffer[used] = '\0';
    }
    if (s.showServerName == 1)
        AppendFormat(buffer, capacity, &used, "Server: %s\r\n", kServerName);
    char date[64];
    FormatHttpDate(platform::UnixTimeNow(), date, sizeof date);
    AppendFormat(buffer, capacity, &used, "Date: %s\r\n\r\n", date);

    if (row.isError != 1)
        return static_cast<int32_t>(used);

    if (headOnly == 0) {
        char page[512];
        const int pageLength = std::snprintf(
            page, sizeof page,
            "<HTML><HEAD><TITLE>HTTP %d - %s</TITLE></HEAD><BODY><H1>HTTP %d - %s<H1>"
            "<H3>%s</H3></BODY></HTML>",
            row.code, row.reason, row.code, row.reason, s.showServerName == 1 ? kServerName : "");
        const size_t pageSize = pageLength < 0 ? 0
                                               : (static_cast<size_t>(pageLength) < sizeof page
                                                      ? static_cast<size_t>(pageLength)
                                                      : sizeof page - 1);
        if (pageSize < capacity - used) {
            std::memcpy(buffer + used, page, pageSize + 1);
            used += pageSize;
        } else {
            if (!SendAll(record, buffer, used))
                return 0;
            SendAll(record, page, pageSize);
            return 0;
        }
    }
    SendAll(record, buffer, used);
    return 0;
}

} // namespace kxr::httpd

#include "httpd/static_file.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "access/containment.h"
#include "httpd/dir_listing.h"
#include "httpd/file_conditions.h"
#include "httpd/listener.h"
#include "httpd/request_reader.h"
#include "httpd/response_head.h"
#include "httpd/server_settings.h"
#include "kxr/rvutil.h"
#include "platform/kxr_file.h"
#include "platform/kxr_path.h"
#include "platform/kxr_time.h"

namespace kxr::httpd {

namespace {

// The working storage of one answer, on the heap: connection threads run on
// small stacks.
struct FileWork {
    char send[kSendBufferSize];
    char fullPath[kFullPathSize];
    char headerText[kHeaderTextSize];
    char line[kRequestLineSize];
    RequestConditions conditions;
    FilePlan plan;
};

// Closes the file however the answer ends.
struct OpenFile {
    platform::FileHandle handle = platform::kInvalidFile;
    ~OpenFile() {
        if (handle != platform::kInvalidFile)
            platform::FileClose(handle);
    }
};

void AppendAccess(ConnectionRecord* record, const char* text) {
    const size_t used = strnlen(record->accessText, kAccessTextSize - 1);
    std::snprintf(record->accessText + used, kAccessTextSize - used, "%s", text);
}

void AnswerError(ConnectionRecord* record, int32_t headOnly, int32_t code, char* buffer) {
    SetStatus(record, code);
    BuildResponseHead(record, headOnly, buffer, kSendBufferSize);
}

bool EndsWith(const char* text, const char* suffix) {
    const size_t a = std::strlen(text);
    const size_t b = std::strlen(suffix);
    return a >= b && std::strcmp(text + a - b, suffix) == 0;
}

// Appends text to a buffer of the given capacity; false when it does not fit
// (the buffer is then left as it was).
bool AppendWhole(char* buffer, size_t capacity, const char* text) {
    const size_t used = strnlen(buffer, capacity);
    const size_t length = std::strlen(text);
    if (used + length >= capacity)
        return false;
    std::memcpy(buffer + used, text, length + 1);
    return true;
}

void StreamBody(ConnectionRecord* record, platform::FileHandle file, char* buffer,
                size_t headLength, int64_t length) {
    // Without a known length everything up to the end of the file goes.
    const int64_t remaining = length >= 1 ? length : INT64_MAX;
    // The first piece of the body travels with the head; the rest leaves the
    // file by the system's zero-copy send where it can.
    const size_t room = kSendBufferSize - headLength;
    int64_t got = platform::FileRead(
        file, buffer + headLength,
        remaining < static_cast<int64_t>(room) ? static_cast<size_t>(remaining) : room);
    if (got < 0)
        got = 0;
    if (!SendAll(record, buffer, headLength + static_cast<size_t>(got)) || got == 0)
        return;
    SendFromFile(record, file, remaining - got);
}

} // namespace

void ServeFile(ConnectionRecord* record, int32_t headOnly, char* path, size_t capacity,
               const char* requested) {
    if (path == nullptr || requested == nullptr || capacity < 4)
        return;
    auto work = std::make_unique<FileWork>();
    char* buffer = work->send;
    const ServerSettings& s = GetServerSettings();

    // The root document, and the old short name of the index.
    if (std::strcmp(path, ".//") == 0)
        AppendWhole(path, capacity, "index.html");
    else if (std::strlen(path) >= 3 && std::strcmp(path + 3, "index.htm") == 0)
        AppendWhole(path, capacity, "l");

    // Relative to the current directory when the path is found there, else
    // below the document root. A path too long for the buffer is not found;
    // neither is one that leads outside the roots.
    // One status query of each candidate: it tells existence, kind, size and
    // time at once.
    char* full = work->fullPath;
    full[0] = '\0';
    platform::FileStatus status;
    bool found = false;
    const size_t length = std::strlen(path);
    if (length < kFullPathSize && platform::QueryFileStatus(path, &status) &&
        access::IsReachable(path)) {
        std::memcpy(full, path, length + 1);
        found = true;
    } else {
        const char* tail = length >= 2 ? path + 2 : "";
        const int n = std::snprintf(full, kFullPathSize, "%s%s", s.documentRoot, tail);
        found = n >= 0 && static_cast<size_t>(n) < kFullPathSize &&
                platform::QueryFileStatus(full, &status) && access::IsReachable(full);
    }
    if (!found) {
        AnswerError(record, headOnly, 404, buffer);
        return;
    }
    if (status.kind != platform::FileKind::Regular &&
        status.kind != platform::FileKind::Directory) {
        AppendAccess(record, " ;");
        AnswerError(record, headOnly, 403, buffer);
        return;
    }

    OpenFile file;
    bool statusKnown = true;
    if (status.kind == platform::FileKind::Regular) {
        file.handle =
            platform::FileOpen(full, platform::kFileRead, platform::FileDisposition::OpenExisting);
    } else {
        char* text = work->headerText;
        if (!EndsWith(requested, "/")) {
            std::snprintf(text, kHeaderTextSize, "%s/", requested);
            SetStatus(record, 301);
            std::snprintf(record->extraHeaders, kExtraHeadersSize, "Location: %s\r\n",
                          std::strlen(text) >= 2 ? text + 2 : "");
            BuildResponseHead(record, headOnly, buffer, kSendBufferSize);
            return;
        }
        // A folder mapped from a file root comes without its separator.
        const size_t used = std::strlen(path);
        if (used > 0 && !platform::IsPathSeparator(path[used - 1])) {
            const char separator[] = {platform::kPathSeparator, '\0'};
            AppendWhole(path, capacity, separator);
        }
        std::snprintf(text, kHeaderTextSize, "%s", path);
        // The default document, looked up as the request names it.
        if (AppendWhole(text, kHeaderTextSize, s.defaultDocument) && access::IsReachable(text))
            file.handle = platform::FileOpen(text, platform::kFileRead,
                                             platform::FileDisposition::OpenExisting);
        if (file.handle != platform::kInvalidFile) {
            AppendAccess(record, "[");
            AppendAccess(record, s.defaultDocument);
            AppendAccess(record, "]");
            AppendWhole(path, capacity, s.defaultDocument);
            statusKnown = platform::QueryFileStatus(path, &status);
        }
    }
    AppendAccess(record, " ;");
    if (file.handle == platform::kInvalidFile) {
        ServeDirectoryListing(record, headOnly, path, capacity, requested);
        return;
    }

    RequestConditions& conditions = work->conditions;
    ResetConditions(&conditions);
    for (;;) {
        const int32_t n = ReadRequestLine(record, work->line, kRequestLineSize);
        if (n <= 0)
            break;
        ParseConditionLine(work->line, &conditions);
    }

    SetContentTypeFromPath(record, full);
    SetStatus(record, 200);
    char date[64];
    const char* lastModified = nullptr;
    if (statusKnown &&
        FormatHttpDate(platform::UnixFromFileTime(status.lastWriteTime), date, sizeof date) != 0)
        lastModified = date;
    // The size the status query read; the open file's own when there is none.
    uint64_t size = status.size;
    if (!statusKnown && !platform::FileSize(file.handle, &size))
        size = 0;
    FilePlan& plan = work->plan;
    PlanFileAnswer(conditions, static_cast<int64_t>(size), lastModified, &plan);
    SetStatus(record, plan.status);
    // A file opens at its start.
    if ((plan.length >= 1 || plan.rangeFlag > 0) && plan.start != 0)
        platform::FileSeek(file.handle, plan.start, platform::SeekOrigin::Begin);

    if (plan.rangeFlag == -1) {
        BuildResponseHead(record, headOnly, buffer, kSendBufferSize);
        return;
    }
    AddResponseHeaders(record, plan.headerText);
    const int32_t headLength = BuildResponseHead(record, headOnly, buffer, kSendBufferSize);
    if (headLength <= 0)
        return;
    if (headOnly != 0 || plan.status == 304) {
        SendAll(record, buffer, static_cast<size_t>(headLength));
        return;
    }
    StreamBody(record, file.handle, buffer, static_cast<size_t>(headLength), plan.length);
}

} // namespace kxr::httpd

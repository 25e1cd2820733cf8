#include "httpd/request_reader.h"

#include <cstdio>
#include <cstring>

#include "access/text_match.h"
#include "platform/kxr_socket.h"

namespace kxr::httpd {

namespace {

// One byte is kept back so that the buffer always ends in a zero: the router
// reads it as text.
constexpr size_t kReceiveChunk = kRecvBufferSize - 1;

int64_t ReceiveFromSocket(void* context, char* buffer, size_t count, int* error) {
    auto* record = static_cast<ConnectionRecord*>(context);
    const int64_t n = platform::SocketReceive(record->socket, buffer, count);
    if (n < 0)
        *error = platform::SocketLastError();
    return n;
}

// Appends bytes to the line, keeping room for its terminator.
void AppendToLine(char* target, size_t capacity, size_t* length, const char* bytes, size_t count) {
    const size_t room = capacity - 1 - *length;
    const size_t copied = count < room ? count : room;
    std::memcpy(target + *length, bytes, copied);
    *length += copied;
}

int HexValue(char c) {
    const auto u = static_cast<unsigned char>(c);
    int value;
    if (u >= 128)
        return -1;
    if (c >= 'a')
        value = c - 'a' + 10;
    else if (c >= 'A')
        value = c - 'A' + 10;
    else if (c >= '0')
        value = c - '0';
    else
        return -1;
    return value < 16 ? value : -1;
}

bool HoldsEndOfHead(const char* buffer) {
    return std::strstr(buffer, "\r\n\r\n") != nullptr || std::strstr(buffer, "\n\n") != nullptr;
}

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

} // namespace

int32_t ReadRequestLineFrom(ConnectionRecord* record, char* target, size_t capacity,
                            ReceiveFn receive, void* context) {
    if (target == nullptr || capacity == 0)
        return 0;
    size_t length = 0;
    for (;;) {
        const size_t count = record->recvCount > 0 ? static_cast<size_t>(record->recvCount) : 0;
        if (record->readPos < count) {
            const char* start = record->recvBuffer + record->readPos;
            const size_t available = count - record->readPos;
            const char* lf = static_cast<const char*>(std::memchr(start, '\n', available));
            if (lf != nullptr) {
                AppendToLine(target, capacity, &length, start, static_cast<size_t>(lf - start));
                record->readPos = static_cast<uint32_t>(lf - record->recvBuffer) + 1;
                break;
            }
            AppendToLine(target, capacity, &length, start, available);
            record->readPos = static_cast<uint32_t>(count);
        }
        if (length >= capacity - 1)
            break;
        int error = 0;
        const int64_t n = receive(context, record->recvBuffer, kReceiveChunk, &error);
        record->readPos = 0;
        if (n <= 0) {
            record->recvCount = 0;
            record->recvBuffer[0] = '\0';
            if (n < 0 && error == platform::kSockErrTimedOut) {
                std::fprintf(stderr, "recv() failed: error %d\n", error);
                return -1;
            }
            break;
        }
        record->recvCount =
            n > static_cast<int64_t>(kReceiveChunk) ? static_cast<int64_t>(kReceiveChunk) : n;
        record->recvBuffer[record->recvCount] = '\0';
    }
    if (length > 0 && target[length - 1] == '\r')
        --length;
    target[length] = '\0';
    return static_cast<int32_t>(length);
}

int32_t ReadRequestLine(ConnectionRecord* record, char* target, size_t capacity) {
    return ReadRequestLineFrom(record, target, capacity, ReceiveFromSocket, record);
}

void ReadRequestHeadFrom(ConnectionRecord* record, ReceiveFn receive, void* context) {
    size_t count = record->recvCount > 0 ? static_cast<size_t>(record->recvCount) : 0;
    if (count > kReceiveChunk)
        count = kReceiveChunk;
    record->recvBuffer[count] = '\0';
    while (count < kReceiveChunk && !HoldsEndOfHead(record->recvBuffer)) {
        int error = 0;
        const int64_t n =
            receive(context, record->recvBuffer + count, kReceiveChunk - count, &error);
        if (n <= 0)
            break;
        count += static_cast<size_t>(n);
        record->recvBuffer[count] = '\0';
    }
    record->recvCount = static_cast<int64_t>(count);
}

void ReadRequestHead(ConnectionRecord* record) {
    ReadRequestHeadFrom(record, ReceiveFromSocket, record);
}

int32_t DecodeRequestPath(const char* source, char* target, size_t capacity) {
    if (target == nullptr || capacity == 0)
        return 1;
    size_t out = 0;
    const char* p = source;
    while (p != nullptr && *p != '\0' && *p != '?' && *p != ' ' && out + 1 < capacity) {
        if (*p == '%') {
            const int high = HexValue(p[1]);
            const int low = high >= 0 ? HexValue(p[2]) : -1;
            if (high >= 0 && low >= 0) {
                target[out++] = static_cast<char>(high * 16 + low);
                p += 3;
                continue;
            }
        }
        target[out++] = *p++;
    }
    target[out] = '\0';
    return 1;
}

std::string_view HeaderValue(std::string_view head, std::string_view name) {
    size_t start = head.find('\n');
    while (start != std::string_view::npos && start + 1 < head.size()) {
        const std::string_view rest = head.substr(start + 1);
        const size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            break; // the end of the head
        if (line.size() > name.size() && line[name.size()] == ':' &&
            access::StartsWithNoCase(line, name))
            return access::TrimBlanks(line.substr(name.size() + 1));
        start = end == std::string_view::npos ? end : start + 1 + end;
    }
    return {};
}

bool HasParentSegment(const char* path) {
    if (path == nullptr)
        return false;
    for (const char* p = std::strstr(path, ".."); p != nullptr; p = std::strstr(p + 1, "..")) {
        const bool starts = p == path || IsSeparator(p[-1]);
        const bool ends = p[2] == '\0' || IsSeparator(p[2]);
        if (starts && ends)
            return true;
    }
    return false;
}

} // namespace kxr::httpd

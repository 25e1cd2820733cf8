// Reading request and header lines through a record's receive buffer, and
// turning a request target into a path. No socket is needed below the
// ReadRequestLine wrapper, so the same code is tested and fuzzed from bytes.
#ifndef KXR_HTTPD_REQUEST_READER_H
#define KXR_HTTPD_REQUEST_READER_H

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "httpd/connection_record.h"

namespace kxr::httpd {

// Fills buffer with up to count bytes. Returns the count received, 0 when the
// peer closed, -1 on error with the socket error number in *error.
using ReceiveFn = int64_t (*)(void* context, char* buffer, size_t count, int* error);

// Reads one line (without CR LF) into target, cut to capacity - 1 characters
// and zero-terminated. Returns its length, or -1 when a receive timed out.
int32_t ReadRequestLineFrom(ConnectionRecord* record, char* target, size_t capacity,
                            ReceiveFn receive, void* context);
// The same from the record's socket.
int32_t ReadRequestLine(ConnectionRecord* record, char* target, size_t capacity);

// After the request line: receives behind what the buffer holds until it
// holds the blank line that ends the head, the buffer is full, the peer
// stops sending or a receive fails. The buffer stays zero-terminated.
void ReadRequestHeadFrom(ConnectionRecord* record, ReceiveFn receive, void* context);
void ReadRequestHead(ConnectionRecord* record);

// Copies the target up to "?", a blank or the end, decoding %XX escapes;
// always zero-terminated within capacity. Returns 1.
int32_t DecodeRequestPath(const char* source, char* target, size_t capacity);

// The value of the header line name (matched without regard to case) in the
// head text, without the blanks around it; empty when there is none. The
// request line is never taken for a header.
std::string_view HeaderValue(std::string_view head, std::string_view name);

// True when the path holds a ".." segment between separators ("/" or "\\").
bool HasParentSegment(const char* path);

} // namespace kxr::httpd

#endif

// The record of one accepted connection. Its layout is fixed: the module's
// exported request entry receives it from connection threads.
#ifndef KXR_HTTPD_CONNECTION_RECORD_H
#define KXR_HTTPD_CONNECTION_RECORD_H

#include <cstddef>
#include <cstdint>

#include "platform/kxr_socket.h"

namespace kxr::httpd {

inline constexpr size_t kRecvBufferSize = 4096;
inline constexpr size_t kAccessTextSize = 4096;
inline constexpr size_t kContentTypeSize = 26;
inline constexpr size_t kExtraHeadersSize = 4096;
// One buffer carries a head and the first chunk of a body.
inline constexpr size_t kSendBufferSize = 5376;
inline constexpr size_t kRequestLineSize = 4096;
inline constexpr size_t kPathBufferSize = 4096;
inline constexpr size_t kFullPathSize = 260;
// Each receive of a request waits at most this long.
inline constexpr uint32_t kRequestWaitMs = 2000;
// What kxrCheckVirtual may use of the text it rewrites, terminator included.
inline constexpr size_t kVirtualCheckSize = 256;
// A user name and its terminator.
inline constexpr size_t kUserFieldSize = 64;

} // namespace kxr::httpd

// Allocated zero-filled by the listener, owned by the connection's thread,
// released by CloseConnection.
struct ConnectionRecord {
    char recvBuffer[kxr::httpd::kRecvBufferSize];
    uint32_t readPos;
    int64_t recvCount;
    char accessText[kxr::httpd::kAccessTextSize];
    kxr::platform::SocketHandle socket;
    uint16_t clientPort; // network byte order
    uint32_t clientAddr; // network byte order
    int32_t statusIndex;
    char contentType[kxr::httpd::kContentTypeSize];
    char extraHeaders[kxr::httpd::kExtraHeadersSize];
    const char* logDescriptor;
    // The user whose credentials the request carried once they were
    // accepted; empty without users or before.
    char user[kxr::httpd::kUserFieldSize];
};

#endif

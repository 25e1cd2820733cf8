// File bytes sent on a socket without passing through the caller's buffer.
#ifndef KXR_PLATFORM_SENDFILE_H
#define KXR_PLATFORM_SENDFILE_H

#include <cstddef>
#include <cstdint>

#include "platform/kxr_file.h"
#include "platform/kxr_socket.h"

namespace kxr::platform {

// The system will not send this file this way: copy it instead.
inline constexpr int64_t kSendFileRefused = -2;

// Sends up to count bytes of the file from its current position, which moves
// on by what was sent. Returns the bytes sent, 0 at the end of the file, -1
// when the socket failed, or kSendFileRefused. On POSIX the calling thread
// must have blocked SIGPIPE first (BlockBrokenPipeSignal), which sendfile
// cannot decline per call; on Windows only server editions send this way
// (client editions allow two such sends at a time).
int64_t SocketSendFile(SocketHandle socket, FileHandle file, size_t count);

} // namespace kxr::platform

#endif

// Sockets waited on together: one thread watches many connections
// (epoll on Linux). Windows has no such set here; callers there wait on each
// socket in its own thread.
#ifndef KXR_PLATFORM_READINESS_H
#define KXR_PLATFORM_READINESS_H

#include <cstddef>
#include <cstdint>

#include "platform/kxr_socket.h"

namespace kxr::platform {

using ReadinessSet = intptr_t;
inline constexpr ReadinessSet kNoReadinessSet = -1;

// kNoReadinessSet where the system has none or it cannot be made.
ReadinessSet ReadinessSetOpen();
void ReadinessSetClose(ReadinessSet set);
// Watches the socket for input, its peer's close or a failure until the
// socket is closed; any thread may add while another waits.
bool ReadinessSetAdd(ReadinessSet set, SocketHandle socket);
// Waits up to timeoutMs for watched sockets that are ready and returns how
// many it put in ready (at most capacity); 0 after the time-out, -1 on
// error. A socket stays ready while its input is unread.
int ReadinessSetWait(ReadinessSet set, SocketHandle* ready, size_t capacity, uint32_t timeoutMs);

} // namespace kxr::platform

#endif

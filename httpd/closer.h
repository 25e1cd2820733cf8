// Connections whose answer is complete wait here for their client's close,
// so that the thread that answered is free at once: one thread watches them
// all where the system can (platform/kxr_readiness.h).
#ifndef KXR_HTTPD_CLOSER_H
#define KXR_HTTPD_CLOSER_H

#include "platform/kxr_socket.h"

namespace kxr::httpd {

// A connection's unread input is discarded until its client closes or stays
// silent this long; then it is closed.
inline constexpr uint32_t kDrainWaitMs = 500;

// The same wait on the calling thread, which a shutdown of the socket ends.
void DrainHere(platform::SocketHandle socket);

// Starts the closer's thread; false where the system has no readiness set.
bool StartCloser();
// Whether HandOverForClose takes sockets now.
bool CloserRunning();
// Takes a socket whose sending side is shut down, to drain and close it.
// False when the closer is not running: the caller drains it itself.
bool HandOverForClose(platform::SocketHandle socket);
// Closes every socket still waiting and ends the thread.
void StopCloser();

} // namespace kxr::httpd

#endif

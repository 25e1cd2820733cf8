// The listening socket, its accept loop and the closing of a connection.
#ifndef KXR_HTTPD_LISTENER_H
#define KXR_HTTPD_LISTENER_H

#include <atomic>
#include <cstdint>

#include "httpd/connection_record.h"

namespace kxr::httpd {

// Stack of each connection thread: small stacks are cached by the thread
// library and keep a connection cheap to start.
inline constexpr uint32_t kConnectionThreadStack = 256 * 1024;

// Serves until *running or the listening flag turns 0 or the listening socket
// is closed. 0 after an orderly stop, -1 when it could not start. A port below
// 1000 that cannot be bound is retried once at port + 1000; port 0 takes any
// free port.
int32_t RunServer(const char* interface, uint16_t port, const std::atomic<int32_t>* running);

// Closes the listening socket if one is open; a thread blocked in accept on it
// returns at once.
void CloseListenSocket();
// Clears the listening flag; the accept loop ends at its next pass.
void StopListening();
// The port the listener is bound to, 0 while none is open.
uint16_t ListeningPort();

// Shuts the sending side, drains the client for up to 500 ms, closes the
// socket and releases the record.
void CloseConnection(ConnectionRecord* record);

// Connection threads count from the moment the listener starts one until
// the thread leaves its routine: the module may not be unloaded before they
// are gone. A thread marks its own end as its last step.
void ConnectionThreadEnded();
// Waits up to timeoutMs for every connection thread to end; true when none
// is left.
bool WaitForConnectionThreads(uint32_t timeoutMs);

// Sends every byte on the record's socket; false when a send fails or sends
// nothing (the client is gone).
bool SendAll(ConnectionRecord* record, const void* data, size_t count);
// The bytes SendAll has sent on the calling thread since the last reset: one
// connection's answer, for the access log.
void ResetBytesSent();
int64_t BytesSent();
// The status of the answer a router sent on the calling thread, for the
// access log: 200 after a reset unless the router says otherwise.
void SetRoutedStatus(int32_t status);
int32_t RoutedStatus();

} // namespace kxr::httpd

#endif

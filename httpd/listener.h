// The listening socket, its accept loop and the closing of a connection.
#ifndef KXR_HTTPD_LISTENER_H
#define KXR_HTTPD_LISTENER_H

#include <atomic>
#include <cstdint>

#include "httpd/connection_record.h"
#include "platform/kxr_file.h"

namespace kxr::httpd {

// RunServer's result when connection threads were still running after the
// stop's wait: the module must stay loaded.
inline constexpr int32_t kConnectionsStillRunning = -2;

// Serves until *running or the listening flag turns 0 or the listening socket
// is closed, then stops every connection. 0 after an orderly stop, -1 when it
// could not start, kConnectionsStillRunning. A port below 1000 that cannot be
// bound is retried once at port + 1000; port 0 takes any free port.
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

// Sends every byte on the record's socket; false when a send fails or sends
// nothing (the client is gone).
bool SendAll(ConnectionRecord* record, const void* data, size_t count);
// Sends up to count bytes of the file from its current position, or all of
// it up to its end, without copying them through a buffer of ours where the
// system allows; else through one large buffer. False when the client is
// gone or a read failed.
bool SendFromFile(ConnectionRecord* record, platform::FileHandle file, int64_t count);
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

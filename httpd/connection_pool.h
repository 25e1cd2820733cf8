// The connection threads: one per live connection, as ever, but parked and
// reused instead of started for every accept, within a cap; and the stop
// that leaves no thread in the module's code.
#ifndef KXR_HTTPD_CONNECTION_POOL_H
#define KXR_HTTPD_CONNECTION_POOL_H

#include <cstddef>
#include <cstdint>

#include "platform/kxr_socket.h"

namespace kxr::httpd {

struct PoolLimits {
    // Live connections at once; the next one gets 503.
    uint32_t maxConnections = 1024;
    // A client that reads nothing for this long loses its connection.
    uint32_t sendTimeoutMs = 30000;
    // The whole request head must arrive within this, however slowly it
    // trickles.
    uint32_t headTimeoutMs = 10000;
    // A parked thread that gets no connection for this long ends.
    uint32_t idleMs = 30000;
};

// Read when a connection is handed over; set before the server starts.
void SetPoolLimits(const PoolLimits& limits);
PoolLimits GetPoolLimits();

// Takes connections again after a stop; the accept loop calls it once it
// listens. Where accepted sockets inherit them, the connections' time-outs
// are set here, once, on the listening socket.
void OpenPool(platform::SocketHandle listening);

// Hands an accepted connection to a parked thread, starting one when none is
// free; beyond the cap answers 503 itself and closes. Never blocks for long:
// the accept loop calls it.
void DispatchConnection(platform::SocketHandle socket, uint32_t address, uint16_t port);

// For the accept loop, several times a second: ends connections whose head is
// overdue and collects the threads that ended after idling.
void PoolHousekeeping();

// The calling connection has its head: its deadline no longer applies.
void MarkHeadComplete();
// The calling connection is about to close its socket: nothing may wake it
// through that handle any more.
void ForgetConnectionSocket();

// Wakes every live connection (its socket is shut down), ends the parked
// threads and waits up to timeoutMs for all of them. True when no thread of
// the pool is left; otherwise the count still running is reported.
bool StopPool(uint32_t timeoutMs);

// Threads of the pool, busy or parked.
size_t PoolThreadCount();

} // namespace kxr::httpd

#endif

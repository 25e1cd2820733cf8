// IPv4 TCP sockets. Errors are reported with the Windows Sockets numbers on
// every platform, so messages read the same everywhere.
#ifndef KXR_PLATFORM_SOCKET_H
#define KXR_PLATFORM_SOCKET_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace kxr::platform {

using SocketHandle = intptr_t;
inline constexpr SocketHandle kInvalidSocket = -1;

inline constexpr int kSockErrInterrupted = 10004;
inline constexpr int kSockErrBadHandle = 10009;
inline constexpr int kSockErrAccess = 10013;
inline constexpr int kSockErrFault = 10014;
inline constexpr int kSockErrInvalid = 10022;
inline constexpr int kSockErrTooManyOpen = 10024;
inline constexpr int kSockErrWouldBlock = 10035;
inline constexpr int kSockErrNotSocket = 10038;
inline constexpr int kSockErrAddressInUse = 10048;
inline constexpr int kSockErrAddressNotAvailable = 10049;
inline constexpr int kSockErrNetworkDown = 10050;
inline constexpr int kSockErrNetworkUnreachable = 10051;
inline constexpr int kSockErrConnectionAborted = 10053;
inline constexpr int kSockErrConnectionReset = 10054;
inline constexpr int kSockErrNoBuffers = 10055;
inline constexpr int kSockErrNotConnected = 10057;
inline constexpr int kSockErrShutdown = 10058;
inline constexpr int kSockErrTimedOut = 10060;
inline constexpr int kSockErrConnectionRefused = 10061;
inline constexpr int kSockErrHostUnreachable = 10065;

inline constexpr int kMaxBacklog = 0x7FFFFFFF;

// Byte order of the wire.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
inline constexpr uint16_t HostToNet16(uint16_t v) {
    return v;
}
inline constexpr uint32_t HostToNet32(uint32_t v) {
    return v;
}
#else
inline constexpr uint16_t HostToNet16(uint16_t v) {
    return static_cast<uint16_t>((v >> 8) | (v << 8));
}
inline constexpr uint32_t HostToNet32(uint32_t v) {
    return ((v >> 24) & 0xFFu) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}
#endif
inline constexpr uint16_t NetToHost16(uint16_t v) {
    return HostToNet16(v);
}
inline constexpr uint32_t NetToHost32(uint32_t v) {
    return HostToNet32(v);
}

// 0, or the error; every successful start-up pairs with one clean-up.
int SocketStartup();
void SocketCleanup();

// The error of the calling thread's last failed socket call.
int SocketLastError();

SocketHandle SocketOpenTcp();
// No other socket may listen on the same address and port.
bool SocketSetExclusiveAddress(SocketHandle socket);
bool SocketSetNoDelay(SocketHandle socket, bool on);
// A receive that waits longer fails with kSockErrTimedOut; 0 waits for ever.
bool SocketSetReceiveTimeout(SocketHandle socket, uint32_t milliseconds);
// A send that cannot go on for longer fails with kSockErrTimedOut; 0 waits for ever.
bool SocketSetSendTimeout(SocketHandle socket, uint32_t milliseconds);
// address in network order (0 for any), port in host order (0 for any free one).
bool SocketBind(SocketHandle socket, uint32_t address, uint16_t port);
bool SocketListen(SocketHandle socket, int backlog);
// The port the socket is bound to, in host order; 0 on failure.
uint16_t SocketLocalPort(SocketHandle socket);
bool SocketConnect(SocketHandle socket, uint32_t address, uint16_t port);
// 1 when a receive or accept would not wait, 0 after the time-out, -1 on error.
int SocketWaitReadable(SocketHandle socket, uint32_t timeoutMs);
// The peer's address and port in network order; either may be null.
SocketHandle SocketAccept(SocketHandle socket, uint32_t* peerAddress, uint16_t* peerPort);
// Bytes received, 0 when the peer closed, -1 on error.
int64_t SocketReceive(SocketHandle socket, void* buffer, size_t count);
// Bytes sent (possibly fewer than count), -1 on error. Never raises a signal.
int64_t SocketSend(SocketHandle socket, const void* buffer, size_t count);
bool SocketShutdownSend(SocketHandle socket);
// Whether accepted sockets start with the listening socket's options (time-
// outs, no send delay), so that they are set once on the listening socket.
#ifdef _WIN32
inline constexpr bool kAcceptInheritsOptions = false;
#else
inline constexpr bool kAcceptInheritsOptions = true;
#endif

// Closes a socket that no other thread waits on any more, without shutting
// it down first.
bool SocketCloseFinished(SocketHandle socket);

// Ends both directions: a thread blocked in a receive or a send on the socket
// returns at once. The handle stays valid until it is closed.
bool SocketShutdownBoth(SocketHandle socket);
// Closes the socket; a thread waiting in accept or receive on it wakes up
// with an error.
bool SocketClose(SocketHandle socket);

// Dotted IPv4 text to an address in network order; 0xFFFFFFFF when malformed.
uint32_t Ipv4Parse(const char* text);
// Address in network order to dotted text.
std::string Ipv4Format(uint32_t address);

inline constexpr uint32_t kIpv4Loopback = HostToNet32(0x7F000001u);

} // namespace kxr::platform

#endif

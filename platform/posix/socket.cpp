#include "platform/kxr_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kxr::platform {

namespace {

thread_local int lastError = 0;

int WinsockNumber(int error) {
    switch (error) {
    case EINTR:
        return kSockErrInterrupted;
    case EBADF:
        return kSockErrBadHandle;
    case EACCES:
    case EPERM:
        return kSockErrAccess;
    case EFAULT:
        return kSockErrFault;
    case EINVAL:
        return kSockErrInvalid;
    case EMFILE:
    case ENFILE:
        return kSockErrTooManyOpen;
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
        // Only a receive time-out makes a blocking socket give up this way.
        return kSockErrTimedOut;
    case EINPROGRESS:
        return kSockErrWouldBlock;
    case ENOTSOCK:
        return kSockErrNotSocket;
    case EADDRINUSE:
        return kSockErrAddressInUse;
    case EADDRNOTAVAIL:
        return kSockErrAddressNotAvailable;
    case ENETDOWN:
        return kSockErrNetworkDown;
    case ENETUNREACH:
        return kSockErrNetworkUnreachable;
    case ECONNABORTED:
        return kSockErrConnectionAborted;
    case ECONNRESET:
        return kSockErrConnectionReset;
    case ENOBUFS:
    case ENOMEM:
        return kSockErrNoBuffers;
    case ENOTCONN:
        return kSockErrNotConnected;
    case EPIPE:
    case ESHUTDOWN:
        return kSockErrShutdown;
    case ETIMEDOUT:
        return kSockErrTimedOut;
    case ECONNREFUSED:
        return kSockErrConnectionRefused;
    case EHOSTUNREACH:
        return kSockErrHostUnreachable;
    default:
        return error;
    }
}

bool Fail() {
    lastError = WinsockNumber(errno);
    return false;
}

int Fd(SocketHandle socket) {
    return static_cast<int>(socket);
}

bool Valid(SocketHandle socket) {
    if (socket == kInvalidSocket || socket < 0) {
        lastError = kSockErrNotSocket;
        return false;
    }
    return true;
}

sockaddr_in MakeAddress(uint32_t address, uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = address;
    sa.sin_port = htons(port);
    return sa;
}

} // namespace

int SocketStartup() {
    return 0;
}

void SocketCleanup() {}

int SocketLastError() {
    return lastError;
}

SocketHandle SocketOpenTcp() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        Fail();
        return kInvalidSocket;
    }
    return static_cast<SocketHandle>(fd);
}

bool SocketSetExclusiveAddress(SocketHandle socket) {
    if (!Valid(socket))
        return false;
    // Here a second listener on the port is refused anyway; the option only
    // lets a restarted server bind while old connections linger in TIME_WAIT.
    const int on = 1;
    return setsockopt(Fd(socket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 || Fail();
}

bool SocketSetNoDelay(SocketHandle socket, bool on) {
    if (!Valid(socket))
        return false;
    const int value = on ? 1 : 0;
    return setsockopt(Fd(socket), IPPROTO_TCP, TCP_NODELAY, &value, sizeof value) == 0 || Fail();
}

bool SocketSetReceiveTimeout(SocketHandle socket, uint32_t milliseconds) {
    if (!Valid(socket))
        return false;
    timeval tv{static_cast<time_t>(milliseconds / 1000),
               static_cast<suseconds_t>(milliseconds % 1000) * 1000};
    return setsockopt(Fd(socket), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0 || Fail();
}

bool SocketSetSendTimeout(SocketHandle socket, uint32_t milliseconds) {
    if (!Valid(socket))
        return false;
    timeval tv{static_cast<time_t>(milliseconds / 1000),
               static_cast<suseconds_t>(milliseconds % 1000) * 1000};
    return setsockopt(Fd(socket), SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) == 0 || Fail();
}

bool SocketBind(SocketHandle socket, uint32_t address, uint16_t port) {
    if (!Valid(socket))
        return false;
    const sockaddr_in sa = MakeAddress(address, port);
    return bind(Fd(socket), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0 || Fail();
}

bool SocketListen(SocketHandle socket, int backlog) {
    if (!Valid(socket))
        return false;
    // The kernel caps the backlog itself; a huge value asks for its maximum.
    return listen(Fd(socket), backlog < 0 ? SOMAXCONN : backlog) == 0 || Fail();
}

uint16_t SocketLocalPort(SocketHandle socket) {
    if (!Valid(socket))
        return 0;
    sockaddr_in sa{};
    socklen_t length = sizeof sa;
    if (getsockname(Fd(socket), reinterpret_cast<sockaddr*>(&sa), &length) != 0) {
        Fail();
        return 0;
    }
    return ntohs(sa.sin_port);
}

bool SocketConnect(SocketHandle socket, uint32_t address, uint16_t port) {
    if (!Valid(socket))
        return false;
    const sockaddr_in sa = MakeAddress(address, port);
    int rc;
    do {
        rc = connect(Fd(socket), reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    } while (rc != 0 && errno == EINTR);
    return rc == 0 || Fail();
}

int SocketWaitReadable(SocketHandle socket, uint32_t timeoutMs) {
    if (!Valid(socket))
        return -1;
    pollfd pfd{Fd(socket), POLLIN, 0};
    const int rc =
        poll(&pfd, 1, static_cast<int>(timeoutMs > 0x7FFFFFFFu ? 0x7FFFFFFFu : timeoutMs));
    if (rc < 0) {
        Fail();
        return -1;
    }
    if (rc > 0 && (pfd.revents & POLLNVAL) != 0) {
        lastError = kSockErrNotSocket;
        return -1;
    }
    return rc > 0 ? 1 : 0;
}

SocketHandle SocketAccept(SocketHandle socket, uint32_t* peerAddress, uint16_t* peerPort) {
    if (!Valid(socket))
        return kInvalidSocket;
    sockaddr_in sa{};
    socklen_t length = sizeof sa;
    int fd;
    do {
        fd = accept4(Fd(socket), reinterpret_cast<sockaddr*>(&sa), &length, SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        Fail();
        return kInvalidSocket;
    }
    if (peerAddress != nullptr)
        *peerAddress = sa.sin_addr.s_addr;
    if (peerPort != nullptr)
        *peerPort = sa.sin_port;
    return static_cast<SocketHandle>(fd);
}

int64_t SocketReceive(SocketHandle socket, void* buffer, size_t count) {
    if (!Valid(socket))
        return -1;
    ssize_t n;
    do {
        n = recv(Fd(socket), buffer, count, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        Fail();
    return n;
}

int64_t SocketSend(SocketHandle socket, const void* buffer, size_t count) {
    if (!Valid(socket))
        return -1;
    ssize_t n;
    do {
        n = send(Fd(socket), buffer, count, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        Fail();
    return n;
}

bool SocketShutdownSend(SocketHandle socket) {
    if (!Valid(socket))
        return false;
    return shutdown(Fd(socket), SHUT_WR) == 0 || Fail();
}

bool SocketShutdownBoth(SocketHandle socket) {
    if (!Valid(socket))
        return false;
    return shutdown(Fd(socket), SHUT_RDWR) == 0 || Fail();
}

bool SocketCloseFinished(SocketHandle socket) {
    if (!Valid(socket))
        return false;
    return close(Fd(socket)) == 0 || Fail();
}

bool SocketClose(SocketHandle socket) {
    if (!Valid(socket))
        return false;
    // Closing alone leaves a thread blocked in accept() asleep; shutting the
    // socket down first wakes it, as closing does on Windows.
    shutdown(Fd(socket), SHUT_RDWR);
    return close(Fd(socket)) == 0 || Fail();
}

uint32_t Ipv4Parse(const char* text) {
    if (text == nullptr)
        return 0xFFFFFFFFu;
    in_addr addr{};
    if (inet_pton(AF_INET, text, &addr) != 1)
        return 0xFFFFFFFFu;
    return addr.s_addr;
}

std::string Ipv4Format(uint32_t address) {
    in_addr addr{};
    addr.s_addr = address;
    char text[INET_ADDRSTRLEN] = {};
    if (inet_ntop(AF_INET, &addr, text, sizeof text) == nullptr)
        return std::string();
    return text;
}

} // namespace kxr::platform

#include "platform/kxr_socket.h"

#include "platform/win32/win32.h"

#include <ws2tcpip.h>

#include <climits>

namespace kxr::platform {

namespace {

// Kept apart from the system's last error, which any later system call may
// overwrite before the caller asks.
thread_local int lastError = 0;

bool Fail() {
    lastError = WSAGetLastError();
    return false;
}

SOCKET Native(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

bool Valid(SocketHandle socket) {
    if (socket == kInvalidSocket || Native(socket) == INVALID_SOCKET) {
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

// A child process must not keep our sockets open (and a listening port
// bound) after we closed them.
void KeepFromChildren(SOCKET socket) {
    SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
}

int Clamp(size_t count) {
    return count > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(count);
}

} // namespace

int SocketStartup() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data);
}

void SocketCleanup() {
    WSACleanup();
}

int SocketLastError() {
    return lastError;
}

SocketHandle SocketOpenTcp() {
    const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) {
        Fail();
        return kInvalidSocket;
    }
    KeepFromChildren(s);
    return static_cast<SocketHandle>(s);
}

bool SocketSetExclusiveAddress(SocketHandle socket) {
    if (!Valid(socket))
        return false;
    const BOOL on = TRUE;
    return setsockopt(Native(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                      reinterpret_cast<const char*>(&on), sizeof on) == 0 ||
           Fail();
}

bool SocketSetNoDelay(SocketHandle socket, bool on) {
    if (!Valid(socket))
        return false;
    const BOOL value = on ? TRUE : FALSE;
    return setsockopt(Native(socket), IPPROTO_TCP, TCP_NODELAY,
                      reinterpret_cast<const char*>(&value), sizeof value) == 0 ||
           Fail();
}

bool SocketSetReceiveTimeout(SocketHandle socket, uint32_t milliseconds) {
    if (!Valid(socket))
        return false;
    const DWORD value = milliseconds;
    return setsockopt(Native(socket), SOL_SOCKET, SO_RCVTIMEO,
                      reinterpret_cast<const char*>(&value), sizeof value) == 0 ||
           Fail();
}

bool SocketSetSendTimeout(SocketHandle socket, uint32_t milliseconds) {
    if (!Valid(socket))
        return false;
    const DWORD value = milliseconds;
    return setsockopt(Native(socket), SOL_SOCKET, SO_SNDTIMEO,
                      reinterpret_cast<const char*>(&value), sizeof value) == 0 ||
           Fail();
}

bool SocketBind(SocketHandle socket, uint32_t address, uint16_t port) {
    if (!Valid(socket))
        return false;
    const sockaddr_in sa = MakeAddress(address, port);
    return bind(Native(socket), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0 || Fail();
}

bool SocketListen(SocketHandle socket, int backlog) {
    if (!Valid(socket))
        return false;
    return listen(Native(socket), backlog < 0 ? SOMAXCONN : backlog) == 0 || Fail();
}

uint16_t SocketLocalPort(SocketHandle socket) {
    if (!Valid(socket))
        return 0;
    sockaddr_in sa{};
    int length = sizeof sa;
    if (getsockname(Native(socket), reinterpret_cast<sockaddr*>(&sa), &length) != 0) {
        Fail();
        return 0;
    }
    return ntohs(sa.sin_port);
}

bool SocketConnect(SocketHandle socket, uint32_t address, uint16_t port) {
    if (!Valid(socket))
        return false;
    const sockaddr_in sa = MakeAddress(address, port);
    return connect(Native(socket), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0 ||
           Fail();
}

int SocketWaitReadable(SocketHandle socket, uint32_t timeoutMs) {
    if (!Valid(socket))
        return -1;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(Native(socket), &readable);
    timeval wait{static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
    // The first argument is ignored on Windows.
    const int rc = select(0, &readable, nullptr, nullptr, &wait);
    if (rc == SOCKET_ERROR) {
        Fail();
        return -1;
    }
    return rc > 0 ? 1 : 0;
}

SocketHandle SocketAccept(SocketHandle socket, uint32_t* peerAddress, uint16_t* peerPort) {
    if (!Valid(socket))
        return kInvalidSocket;
    sockaddr_in sa{};
    int length = sizeof sa;
    const SOCKET s = accept(Native(socket), reinterpret_cast<sockaddr*>(&sa), &length);
    if (s == INVALID_SOCKET) {
        Fail();
        return kInvalidSocket;
    }
    KeepFromChildren(s);
    if (peerAddress != nullptr)
        *peerAddress = sa.sin_addr.s_addr;
    if (peerPort != nullptr)
        *peerPort = sa.sin_port;
    return static_cast<SocketHandle>(s);
}

int64_t SocketReceive(SocketHandle socket, void* buffer, size_t count) {
    if (!Valid(socket))
        return -1;
    const int n = recv(Native(socket), static_cast<char*>(buffer), Clamp(count), 0);
    if (n == SOCKET_ERROR) {
        Fail();
        return -1;
    }
    return n;
}

int64_t SocketSend(SocketHandle socket, const void* buffer, size_t count) {
    if (!Valid(socket))
        return -1;
    // Windows raises no signal for a vanished peer; the send just fails.
    const int n = send(Native(socket), static_cast<const char*>(buffer), Clamp(count), 0);
    if (n == SOCKET_ERROR) {
        Fail();
        return -1;
    }
    return n;
}

bool SocketShutdownSend(SocketHandle socket) {
    if (!Valid(socket))
        return false;
    return shutdown(Native(socket), SD_SEND) == 0 || Fail();
}

bool SocketShutdownBoth(SocketHandle socket) {
    if (!Valid(socket))
        return false;
    return shutdown(Native(socket), SD_BOTH) == 0 || Fail();
}

bool SocketCloseFinished(SocketHandle socket) {
    return SocketClose(socket);
}

bool SocketClose(SocketHandle socket) {
    if (!Valid(socket))
        return false;
    // Shutting down first wakes a thread blocked in accept or receive on
    // every Windows Sockets implementation, not only where closing does.
    shutdown(Native(socket), SD_BOTH);
    return closesocket(Native(socket)) == 0 || Fail();
}

uint32_t Ipv4Parse(const char* text) {
    if (text == nullptr)
        return 0xFFFFFFFFu;
    // Strictly four decimal parts: inet_addr would also take "1.2.3" and
    // octal or hexadecimal parts.
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

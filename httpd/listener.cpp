#include "httpd/listener.h"

#include <cstdio>

#include "httpd/connection.h"
#include "httpd/server_settings.h"
#include "kxr/rvutil.h"
#include "platform/kxr_socket.h"

namespace kxr::httpd {

namespace {

std::atomic<platform::SocketHandle> listenSocket{platform::kInvalidSocket};
std::atomic<int32_t> connectionThreads{0};
std::atomic<int32_t> listening{0};
std::atomic<uint16_t> boundPort{0};

constexpr uint32_t kSelectWaitMs = 100;
constexpr uint32_t kDrainWaitMs = 500;
constexpr size_t kDrainChunk = 512;

// Whichever of the listener and CloseListenSocket comes first closes it.
void CloseListening() {
    const platform::SocketHandle socket = listenSocket.exchange(platform::kInvalidSocket);
    boundPort.store(0);
    if (socket != platform::kInvalidSocket)
        platform::SocketClose(socket);
}

void StartConnection(platform::SocketHandle socket, uint32_t address, uint16_t port) {
    auto* record = static_cast<ConnectionRecord*>(RVAlloc(sizeof(ConnectionRecord)));
    if (record == nullptr) {
        platform::SocketClose(socket);
        return;
    }
    rvOSZeroMemory(record, sizeof(ConnectionRecord));
    record->socket = socket;
    record->clientAddr = address;
    record->clientPort = port;
    uint32_t id = 0;
    connectionThreads.fetch_add(1);
    RVHANDLE thread = rvOSCreateThread(nullptr, kConnectionThreadStack, ConnectionThreadMain,
                                       record, 0, &id, "web");
    if (thread == nullptr) {
        // Nobody else will ever close it.
        connectionThreads.fetch_sub(1);
        platform::SocketClose(socket);
        RVFree(record);
        return;
    }
    rvOSCloseThread(thread, "web");
}

} // namespace

int32_t RunServer(const char* interface, uint16_t port, const std::atomic<int32_t>* running) {
    uint32_t wanted = port;
    platform::SocketHandle socket = platform::kInvalidSocket;
    for (;;) {
        const int startup = platform::SocketStartup();
        if (startup != 0) {
            LogCritical("WSAStartup failed with error %d", startup);
            platform::SocketCleanup();
            return -1;
        }
        uint32_t address = 0;
        if (interface != nullptr) {
            address = platform::Ipv4Parse(interface);
            if (address == 0xFFFFFFFFu) {
                platform::SocketCleanup();
                return -1;
            }
        }
        socket = platform::SocketOpenTcp();
        if (socket == platform::kInvalidSocket) {
            const int error = platform::SocketLastError();
            LogCritical("HTTPD: socket() failed with error %d", error);
            ErrOut("HTTPD: socket() failed with error %d", error);
            platform::SocketCleanup();
            return -1;
        }
        platform::SocketSetExclusiveAddress(socket);
        platform::SocketSetNoDelay(socket, true);
        if (!platform::SocketBind(socket, address, static_cast<uint16_t>(wanted))) {
            const int error = platform::SocketLastError();
            platform::SocketClose(socket);
            socket = platform::kInvalidSocket;
            platform::SocketCleanup();
            if (wanted < 1000) {
                std::fprintf(stderr, "bind() failed: port error %d\n", error);
                if (error == platform::kSockErrAccess)
                    std::fprintf(stderr, "bind error == Permission denied.\n");
                wanted += 1000;
                continue;
            }
            if (interface != nullptr) {
                LogCritical("HTTPD: bind() failed with error %d and %s", error, interface);
                ErrOut("HTTPD: bind() failed with error %d and %s", error, interface);
            } else {
                LogCritical("HTTPD: bind() failed with error %d", error);
                ErrOut("HTTPD: bind() failed with error %d", error);
            }
            return -1;
        }
        break;
    }
    if (!platform::SocketListen(socket, platform::kMaxBacklog)) {
        const int error = platform::SocketLastError();
        platform::SocketClose(socket);
        platform::SocketCleanup();
        LogCritical("HTTPD: listen() failed with error %d", error);
        ErrOut("HTTPD: listen() failed with error %d", error);
        return -1;
    }
    const uint16_t actual = platform::SocketLocalPort(socket);
    boundPort.store(actual);
    listenSocket.store(socket);
    listening.store(1);
    LogInfo("--- kxrHttpd2 Listening on port %d ---", static_cast<int>(actual));

    while (listening.load() == 1 && (running == nullptr || running->load() != 0)) {
        // Closed under us: the stop has begun.
        if (listenSocket.load() != socket)
            break;
        if (platform::SocketWaitReadable(socket, kSelectWaitMs) < 0) {
            if (listenSocket.load() != socket)
                break;
            const int error = platform::SocketLastError();
            LogCritical("HTTPD: select() error %d", error);
            ErrOut("HTTPD: select() error %d", error);
            continue;
        }
        uint32_t peerAddress = 0;
        uint16_t peerPort = 0;
        const platform::SocketHandle client =
            platform::SocketAccept(socket, &peerAddress, &peerPort);
        if (client == platform::kInvalidSocket)
            continue;
        StartConnection(client, peerAddress, peerPort);
    }

    platform::SocketHandle expected = socket;
    if (listenSocket.compare_exchange_strong(expected, platform::kInvalidSocket)) {
        boundPort.store(0);
        platform::SocketClose(socket);
    }
    platform::SocketCleanup();
    return 0;
}

void CloseListenSocket() {
    CloseListening();
}

void StopListening() {
    listening.store(0);
}

uint16_t ListeningPort() {
    return boundPort.load();
}

void CloseConnection(ConnectionRecord* record) {
    if (record == nullptr)
        return;
    platform::SocketShutdownSend(record->socket);
    platform::SocketSetReceiveTimeout(record->socket, kDrainWaitMs);
    char scratch[kDrainChunk];
    while (platform::SocketReceive(record->socket, scratch, sizeof scratch) > 0) {
    }
    platform::SocketClose(record->socket);
    RVFree(record);
}

void ConnectionThreadEnded() {
    connectionThreads.fetch_sub(1);
}

bool WaitForConnectionThreads(uint32_t timeoutMs) {
    constexpr uint32_t kPollMs = 10;
    for (uint32_t waited = 0; connectionThreads.load() > 0; waited += kPollMs) {
        if (waited >= timeoutMs)
            return false;
        rvOSSleep(kPollMs);
    }
    return true;
}

namespace {
constexpr int32_t kDefaultRoutedStatus = 200;
thread_local int64_t bytesSent = 0;
thread_local int32_t routedStatus = kDefaultRoutedStatus;
} // namespace

bool SendAll(ConnectionRecord* record, const void* data, size_t count) {
    const char* p = static_cast<const char*>(data);
    while (count > 0) {
        const int64_t sent = platform::SocketSend(record->socket, p, count);
        if (sent <= 0)
            return false;
        bytesSent += sent;
        p += sent;
        count -= static_cast<size_t>(sent);
    }
    return true;
}

void ResetBytesSent() {
    bytesSent = 0;
    routedStatus = kDefaultRoutedStatus;
}

int64_t BytesSent() {
    return bytesSent;
}

void SetRoutedStatus(int32_t status) {
    routedStatus = status;
}

int32_t RoutedStatus() {
    return routedStatus;
}

} // namespace kxr::httpd

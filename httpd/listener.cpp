#include "httpd/listener.h"

#include <cstdio>
#include <memory>

#include "httpd/connection.h"
#include "httpd/connection_pool.h"
#include "httpd/server_settings.h"
#include "kxr/rvutil.h"
#include "platform/kxr_sendfile.h"
#include "platform/kxr_socket.h"
#include "platform/kxr_time.h"

namespace kxr::httpd {

namespace {

std::atomic<platform::SocketHandle> listenSocket{platform::kInvalidSocket};
std::atomic<int32_t> listening{0};
std::atomic<uint16_t> boundPort{0};

constexpr uint32_t kSelectWaitMs = 100;
constexpr uint32_t kDrainWaitMs = 500;
constexpr size_t kDrainChunk = 512;
constexpr uint32_t kAcceptBackOffMs = 50;
constexpr uint32_t kHousekeepingMs = 100;
// Connections finish their answers within this after the stop shut their
// sockets, unless a producer holds them (the host's callback, the engine).
constexpr uint32_t kPoolStopMs = 3000;

// Whichever of the listener and CloseListenSocket comes first closes it.
void CloseListening() {
    const platform::SocketHandle socket = listenSocket.exchange(platform::kInvalidSocket);
    boundPort.store(0);
    if (socket != platform::kInvalidSocket)
        platform::SocketClose(socket);
}

// Out of descriptors the listening socket stays readable: waiting a little
// instead of retrying at once keeps the loop from spinning, and one line a
// second says why nothing is accepted.
void BackOffAfterAcceptFailure() {
    static uint64_t lastReport = 0;
    const int error = platform::SocketLastError();
    if (error == platform::kSockErrTooManyOpen || error == platform::kSockErrNoBuffers) {
        const uint64_t now = platform::MonotonicMs();
        if (now - lastReport >= 1000) {
            lastReport = now;
            LogCritical("HTTPD: accept() failed with error %d; waiting", error);
        }
        platform::SleepMs(kAcceptBackOffMs);
    }
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
    OpenPool(socket);
    uint64_t lastHousekeeping = platform::MonotonicMs();

    while (listening.load() == 1 && (running == nullptr || running->load() != 0)) {
        // Closed under us: the stop has begun.
        if (listenSocket.load() != socket)
            break;
        const int ready = platform::SocketWaitReadable(socket, kSelectWaitMs);
        if (ready < 0) {
            if (listenSocket.load() != socket)
                break;
            const int error = platform::SocketLastError();
            LogCritical("HTTPD: select() error %d", error);
            ErrOut("HTTPD: select() error %d", error);
            continue;
        }
        const uint64_t now = platform::MonotonicMs();
        if (now - lastHousekeeping >= kHousekeepingMs) {
            lastHousekeeping = now;
            PoolHousekeeping();
        }
        // Nothing to accept: the wait only gave the housekeeping its turn.
        if (ready == 0)
            continue;
        uint32_t peerAddress = 0;
        uint16_t peerPort = 0;
        const platform::SocketHandle client =
            platform::SocketAccept(socket, &peerAddress, &peerPort);
        if (client == platform::kInvalidSocket) {
            BackOffAfterAcceptFailure();
            continue;
        }
        DispatchConnection(client, peerAddress, peerPort);
    }

    platform::SocketHandle expected = socket;
    if (listenSocket.compare_exchange_strong(expected, platform::kInvalidSocket)) {
        boundPort.store(0);
        platform::SocketClose(socket);
    }
    // No connection thread may outlive the server: the module can be unloaded
    // right after the stop.
    const bool stopped = StopPool(kPoolStopMs);
    platform::SocketCleanup();
    return stopped ? 0 : kConnectionsStillRunning;
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
    ForgetConnectionSocket();
    platform::SocketCloseFinished(record->socket);
    RVFree(record);
}

namespace {
constexpr int32_t kDefaultRoutedStatus = 200;
thread_local int64_t bytesSent = 0;
thread_local int32_t routedStatus = kDefaultRoutedStatus;
} // namespace

bool SendAll(ConnectionRecord* record, const void* data, size_t count) {
    MarkHeadComplete();
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

bool SendFromFile(ConnectionRecord* record, platform::FileHandle file, int64_t count) {
    // At most this much per call, so that a huge count stays in range.
    constexpr int64_t kPiece = 1 << 30;
    while (count > 0) {
        const size_t want = static_cast<size_t>(count < kPiece ? count : kPiece);
        const int64_t sent = platform::SocketSendFile(record->socket, file, want);
        if (sent == platform::kSendFileRefused)
            break;
        if (sent < 0)
            return false;
        if (sent == 0)
            return true; // the end of the file
        bytesSent += sent;
        count -= sent;
    }
    if (count <= 0)
        return true;
    // Copied, in pieces large enough that a big file is not a system call per
    // few kilobytes.
    constexpr size_t kCopyPiece = 256 * 1024;
    const std::unique_ptr<char[]> buffer(new char[kCopyPiece]);
    while (count > 0) {
        const int64_t got = platform::FileRead(
            file, buffer.get(),
            count < static_cast<int64_t>(kCopyPiece) ? static_cast<size_t>(count) : kCopyPiece);
        if (got <= 0)
            return got == 0;
        if (!SendAll(record, buffer.get(), static_cast<size_t>(got)))
            return false;
        count -= got;
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

#include "platform/kxr_socket.h"
#include "platform/kxr_time.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace kp = kxr::platform;

namespace {

// A loopback listener on a port of its own and, after Connect(), one
// connection it accepted. (The test main has started the socket layer.)
struct Connection {
    kp::SocketHandle listener = kp::SocketOpenTcp();
    kp::SocketHandle client = kp::kInvalidSocket;
    kp::SocketHandle server = kp::kInvalidSocket;
    uint16_t port = kp::SocketSetExclusiveAddress(listener) &&
                            kp::SocketBind(listener, kp::kIpv4Loopback, 0) &&
                            kp::SocketListen(listener, kp::kMaxBacklog)
                        ? kp::SocketLocalPort(listener)
                        : 0;
    uint32_t peer = 0;
    uint16_t peerPort = 0;

    void Connect() {
        ASSERT_NE(port, 0);
        client = kp::SocketOpenTcp();
        ASSERT_TRUE(kp::SocketConnect(client, kp::kIpv4Loopback, port));
        EXPECT_EQ(kp::SocketWaitReadable(listener, 2000), 1);
        server = kp::SocketAccept(listener, &peer, &peerPort);
        ASSERT_NE(server, kp::kInvalidSocket);
    }
    ~Connection() {
        for (kp::SocketHandle s : {listener, client, server}) {
            if (s != kp::kInvalidSocket)
                kp::SocketClose(s);
        }
    }
};

} // namespace

TEST(PlatformSocket, AddressText) {
    const std::pair<const char*, uint32_t> rows[] = {
        {"127.0.0.1", 0x7F000001u}, {"192.168.1.20", 0xC0A80114u}, {"256.1.1.1", 0xFFFFFFFFu},
        {"1.2.3", 0xFFFFFFFFu},     {"a.b.c.d", 0xFFFFFFFFu},      {"", 0xFFFFFFFFu}};
    for (const auto& [text, hostOrder] : rows)
        EXPECT_EQ(kp::NetToHost32(kp::Ipv4Parse(text)), hostOrder) << text;
    EXPECT_EQ(kp::Ipv4Format(kp::HostToNet32(0xC0A80114u)), "192.168.1.20");
}

TEST(PlatformSocket, AcceptReportsThePeerAndCarriesBytes) {
    Connection c;
    ASSERT_NO_FATAL_FAILURE(c.Connect());
    EXPECT_EQ(c.peer, kp::kIpv4Loopback); // both in network order
    EXPECT_EQ(kp::NetToHost16(c.peerPort), kp::SocketLocalPort(c.client));

    ASSERT_TRUE(kp::SocketSetNoDelay(c.server, true));
    EXPECT_EQ(kp::SocketSend(c.client, "ping", 4), 4);
    char buffer[16] = {};
    EXPECT_EQ(kp::SocketReceive(c.server, buffer, sizeof buffer), 4);
    EXPECT_STREQ(buffer, "ping");
    // After the peer shut its sending side the receive sees the end.
    ASSERT_TRUE(kp::SocketShutdownSend(c.client));
    EXPECT_EQ(kp::SocketReceive(c.server, buffer, sizeof buffer), 0);
}

TEST(PlatformSocket, ReceiveTimeOutIsReportedAsTimedOut) {
    Connection c;
    ASSERT_NO_FATAL_FAILURE(c.Connect());
    ASSERT_TRUE(kp::SocketSetReceiveTimeout(c.server, 100));
    char byte;
    const uint64_t start = kp::MonotonicMs();
    EXPECT_EQ(kp::SocketReceive(c.server, &byte, 1), -1);
    EXPECT_EQ(kp::SocketLastError(), kp::kSockErrTimedOut);
    EXPECT_GE(kp::MonotonicMs() - start, 90u);
    EXPECT_EQ(kp::SocketWaitReadable(c.server, 10), 0);
}

TEST(PlatformSocket, SendTimeOutEndsASendThePeerDoesNotTake) {
    Connection c;
    ASSERT_NO_FATAL_FAILURE(c.Connect());
    ASSERT_TRUE(kp::SocketSetSendTimeout(c.server, 200));
    // The client reads nothing: once the buffers are full a send gives up
    // instead of waiting for ever.
    const std::string chunk(64 * 1024, 'x');
    const uint64_t start = kp::MonotonicMs();
    uint64_t total = 0;
    int64_t sent = 0;
    while ((sent = kp::SocketSend(c.server, chunk.data(), chunk.size())) > 0 &&
           total < 256u * 1024 * 1024)
        total += static_cast<uint64_t>(sent);
    EXPECT_EQ(sent, -1) << total << " bytes went out";
    EXPECT_LT(kp::MonotonicMs() - start, 10000u);
}

TEST(PlatformSocket, SecondListenerOnAPortIsRefused) {
    Connection first;
    const kp::SocketHandle second = kp::SocketOpenTcp();
    ASSERT_TRUE(kp::SocketSetExclusiveAddress(second));
    EXPECT_FALSE(kp::SocketBind(second, kp::kIpv4Loopback, first.port));
    EXPECT_EQ(kp::SocketLastError(), kp::kSockErrAddressInUse);
    kp::SocketClose(second);
}

TEST(PlatformSocket, ClosingWakesABlockedAccept) {
    Connection c;
    // Shared: a waiter still blocked outlives the test.
    auto returned = std::make_shared<std::atomic<bool>>(false);
    auto accepted = std::make_shared<std::atomic<kp::SocketHandle>>(0);
    std::thread waiter([returned, accepted, socket = c.listener] {
        *accepted = kp::SocketAccept(socket, nullptr, nullptr);
        *returned = true;
    });
    kp::SleepMs(100);
    EXPECT_FALSE(returned->load());
    EXPECT_TRUE(kp::SocketClose(c.listener));
    c.listener = kp::kInvalidSocket;
    const uint64_t start = kp::MonotonicMs();
    while (!*returned && kp::MonotonicMs() - start < 3000)
        kp::SleepMs(5);
    if (!*returned) {
        waiter.detach(); // still blocked: the fault under test
        FAIL() << "accept() did not return after the socket was closed";
    }
    waiter.join();
    EXPECT_EQ(accepted->load(), kp::kInvalidSocket);
}

TEST(PlatformSocket, SendingToAVanishedPeerFailsQuietly) {
    Connection c;
    ASSERT_NO_FATAL_FAILURE(c.Connect());
    kp::SocketClose(c.client);
    c.client = kp::kInvalidSocket;
    // The first sends may still be taken by the kernel; a reset follows.
    const std::string chunk(65536, 'x');
    int64_t result = 0;
    for (int i = 0; i < 50 && result >= 0; ++i) {
        result = kp::SocketSend(c.server, chunk.data(), chunk.size());
        kp::SleepMs(2);
    }
    EXPECT_EQ(result, -1);
    const int error = kp::SocketLastError();
    EXPECT_TRUE(error == kp::kSockErrConnectionReset || error == kp::kSockErrShutdown) << error;
}

#include "platform/kxr_socket.h"
#include "platform/kxr_time.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

namespace kp = kxr::platform;

namespace {

class Listener {
public:
    Listener() {
        socket_ = kp::SocketOpenTcp();
        EXPECT_NE(socket_, kp::kInvalidSocket);
        EXPECT_TRUE(kp::SocketSetExclusiveAddress(socket_));
        EXPECT_TRUE(kp::SocketBind(socket_, kp::kIpv4Loopback, 0));
        EXPECT_TRUE(kp::SocketListen(socket_, kp::kMaxBacklog));
        port_ = kp::SocketLocalPort(socket_);
        EXPECT_NE(port_, 0);
    }
    ~Listener() {
        if (socket_ != kp::kInvalidSocket)
            kp::SocketClose(socket_);
    }
    kp::SocketHandle socket_;
    uint16_t port_ = 0;
};

kp::SocketHandle Connect(uint16_t port) {
    const kp::SocketHandle client = kp::SocketOpenTcp();
    EXPECT_TRUE(kp::SocketConnect(client, kp::kIpv4Loopback, port));
    return client;
}

} // namespace

class PlatformSocket : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(kp::SocketStartup(), 0); }
    void TearDown() override { kp::SocketCleanup(); }
};

TEST_F(PlatformSocket, ByteOrder) {
    EXPECT_EQ(kp::NetToHost16(kp::HostToNet16(0x1234)), 0x1234);
    EXPECT_EQ(kp::NetToHost32(kp::HostToNet32(0x12345678u)), 0x12345678u);
    const uint32_t loopback = kp::kIpv4Loopback;
    unsigned char bytes[4];
    std::memcpy(bytes, &loopback, 4);
    EXPECT_EQ(bytes[0], 127);
    EXPECT_EQ(bytes[3], 1);
}

TEST_F(PlatformSocket, AddressText) {
    struct Row {
        const char* text;
        uint32_t hostOrder;
    };
    const Row rows[] = {
        {"127.0.0.1", 0x7F000001u},    {"0.0.0.0", 0},
        {"192.168.1.20", 0xC0A80114u}, {"255.255.255.255", 0xFFFFFFFFu},
        {"256.1.1.1", 0xFFFFFFFFu},    {"1.2.3", 0xFFFFFFFFu},
        {"a.b.c.d", 0xFFFFFFFFu},      {"", 0xFFFFFFFFu},
    };
    for (const auto& row : rows)
        EXPECT_EQ(kp::NetToHost32(kp::Ipv4Parse(row.text)), row.hostOrder) << row.text;
    EXPECT_EQ(kp::Ipv4Parse(nullptr), 0xFFFFFFFFu);
    EXPECT_EQ(kp::Ipv4Format(kp::HostToNet32(0xC0A80114u)), "192.168.1.20");
}

TEST_F(PlatformSocket, AcceptReportsThePeerAndCarriesBytes) {
    Listener listener;
    const kp::SocketHandle client = Connect(listener.port_);
    EXPECT_EQ(kp::SocketWaitReadable(listener.socket_, 2000), 1);
    uint32_t peer = 0;
    uint16_t peerPort = 0;
    const kp::SocketHandle server = kp::SocketAccept(listener.socket_, &peer, &peerPort);
    ASSERT_NE(server, kp::kInvalidSocket);
    EXPECT_EQ(peer, kp::kIpv4Loopback);
    EXPECT_EQ(kp::NetToHost16(peerPort), kp::SocketLocalPort(client));

    ASSERT_TRUE(kp::SocketSetNoDelay(server, true));
    EXPECT_EQ(kp::SocketSend(client, "ping", 4), 4);
    char buffer[16] = {};
    EXPECT_EQ(kp::SocketReceive(server, buffer, sizeof buffer), 4);
    EXPECT_STREQ(buffer, "ping");

    // After the peer shut its sending side the receive sees the end.
    ASSERT_TRUE(kp::SocketShutdownSend(client));
    EXPECT_EQ(kp::SocketReceive(server, buffer, sizeof buffer), 0);
    kp::SocketClose(client);
    kp::SocketClose(server);
}

TEST_F(PlatformSocket, ReceiveTimeOutIsReportedAsTimedOut) {
    Listener listener;
    const kp::SocketHandle client = Connect(listener.port_);
    const kp::SocketHandle server = kp::SocketAccept(listener.socket_, nullptr, nullptr);
    ASSERT_NE(server, kp::kInvalidSocket);
    ASSERT_TRUE(kp::SocketSetReceiveTimeout(server, 100));
    char byte;
    const uint64_t start = kp::MonotonicMs();
    EXPECT_EQ(kp::SocketReceive(server, &byte, 1), -1);
    EXPECT_EQ(kp::SocketLastError(), kp::kSockErrTimedOut);
    EXPECT_GE(kp::MonotonicMs() - start, 90u);
    EXPECT_EQ(kp::SocketWaitReadable(server, 10), 0);
    kp::SocketClose(client);
    kp::SocketClose(server);
}

TEST_F(PlatformSocket, SecondListenerOnAPortIsRefused) {
    Listener first;
    const kp::SocketHandle second = kp::SocketOpenTcp();
    ASSERT_TRUE(kp::SocketSetExclusiveAddress(second));
    EXPECT_FALSE(kp::SocketBind(second, kp::kIpv4Loopback, first.port_));
    EXPECT_EQ(kp::SocketLastError(), kp::kSockErrAddressInUse);
    kp::SocketClose(second);
}

TEST_F(PlatformSocket, ClosingWakesABlockedAccept) {
    Listener listener;
    struct Outcome {
        std::atomic<bool> returned{false};
        std::atomic<kp::SocketHandle> accepted{0};
    };
    auto outcome = std::make_shared<Outcome>();
    const kp::SocketHandle socket = listener.socket_;
    std::thread waiter([outcome, socket] {
        outcome->accepted = kp::SocketAccept(socket, nullptr, nullptr);
        outcome->returned = true;
    });
    kp::SleepMs(100);
    EXPECT_FALSE(outcome->returned.load());
    EXPECT_TRUE(kp::SocketClose(listener.socket_));
    listener.socket_ = kp::kInvalidSocket;
    const uint64_t start = kp::MonotonicMs();
    while (!outcome->returned && kp::MonotonicMs() - start < 3000)
        kp::SleepMs(5);
    if (!outcome->returned) {
        waiter.detach(); // still blocked: the fault under test
        FAIL() << "accept() did not return after the socket was closed";
    }
    waiter.join();
    EXPECT_EQ(outcome->accepted.load(), kp::kInvalidSocket);
}

TEST_F(PlatformSocket, SendingToAVanishedPeerFailsQuietly) {
    Listener listener;
    const kp::SocketHandle client = Connect(listener.port_);
    const kp::SocketHandle server = kp::SocketAccept(listener.socket_, nullptr, nullptr);
    ASSERT_NE(server, kp::kInvalidSocket);
    kp::SocketClose(client);
    // The first sends may still be taken by the kernel; a reset follows.
    const std::string chunk(65536, 'x');
    int64_t result = 0;
    for (int i = 0; i < 50 && result >= 0; ++i) {
        result = kp::SocketSend(server, chunk.data(), chunk.size());
        kp::SleepMs(2);
    }
    EXPECT_EQ(result, -1);
    const int error = kp::SocketLastError();
    EXPECT_TRUE(error == kp::kSockErrConnectionReset || error == kp::kSockErrShutdown) << error;
    kp::SocketClose(server);
}

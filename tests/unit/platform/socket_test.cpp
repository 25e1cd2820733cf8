#include "platform/kxr_socket.h"
#include "platform/kxr_time.h"

#include <gtest/gtest.h>

#include <string>

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

    void Connect() {
        ASSERT_NE(port, 0);
        client = kp::SocketOpenTcp();
        ASSERT_TRUE(kp::SocketConnect(client, kp::kIpv4Loopback, port));
        EXPECT_EQ(kp::SocketWaitReadable(listener, 2000), 1);
        server = kp::SocketAccept(listener, nullptr, nullptr);
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

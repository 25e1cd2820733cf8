// Shared pieces of the server tests: loopback socket pairs, a temporary
// document tree and a raw HTTP client.
#ifndef KXR_TESTS_HTTPD_SUPPORT_H
#define KXR_TESTS_HTTPD_SUPPORT_H

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "httpd/connection_record.h"
#include "platform/kxr_socket.h"

namespace kxr::httpd::test {

namespace fs = std::filesystem;

// Two connected loopback sockets: server side and client side.
struct SocketPair {
    platform::SocketHandle server = platform::kInvalidSocket;
    platform::SocketHandle client = platform::kInvalidSocket;
    SocketPair() {
        platform::SocketHandle listener = platform::SocketOpenTcp();
        EXPECT_TRUE(platform::SocketBind(listener, platform::kIpv4Loopback, 0));
        EXPECT_TRUE(platform::SocketListen(listener, 4));
        const uint16_t port = platform::SocketLocalPort(listener);
        client = platform::SocketOpenTcp();
        EXPECT_TRUE(platform::SocketConnect(client, platform::kIpv4Loopback, port));
        server = platform::SocketAccept(listener, nullptr, nullptr);
        platform::SocketClose(listener);
    }
    ~SocketPair() {
        if (server != platform::kInvalidSocket)
            platform::SocketClose(server);
        if (client != platform::kInvalidSocket)
            platform::SocketClose(client);
    }
    void Send(const std::string& bytes) const {
        ASSERT_EQ(platform::SocketSend(client, bytes.data(), bytes.size()),
                  static_cast<int64_t>(bytes.size()));
    }
    // What the server side sent, until it closes or nothing comes for a while.
    std::string ReadClient(uint32_t quietMs = 300) const {
        std::string out;
        char chunk[4096];
        while (platform::SocketWaitReadable(client, quietMs) == 1) {
            const int64_t n = platform::SocketReceive(client, chunk, sizeof chunk);
            if (n <= 0)
                break;
            out.append(chunk, static_cast<size_t>(n));
        }
        return out;
    }
};

// A zero-filled record on the server end of a pair.
struct RecordOnPair {
    SocketPair pair;
    std::unique_ptr<ConnectionRecord> record = std::make_unique<ConnectionRecord>();
    RecordOnPair() {
        *record = ConnectionRecord{};
        record->socket = pair.server;
        record->clientAddr = platform::kIpv4Loopback;
        record->clientPort = platform::HostToNet16(4321);
    }
};

// A directory that disappears with the test.
struct TempTree {
    fs::path root;
    TempTree() {
        std::random_device device;
        root = fs::temp_directory_path() /
               ("kxr-httpd-" + std::to_string(device()) + "-" + std::to_string(device()));
        fs::create_directories(root);
    }
    ~TempTree() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    void Write(const std::string& relative, const std::string& content) const {
        const fs::path p = root / relative;
        fs::create_directories(p.parent_path());
        std::ofstream out(p, std::ios::binary);
        out << content;
        // A name the file system refuses would otherwise go missing silently.
        EXPECT_TRUE(out.good()) << "could not write " << p;
    }
    void MakeDir(const std::string& relative) const { fs::create_directories(root / relative); }
    std::string Path() const { return root.string(); }
};

// Sends the bytes on a new loopback connection and returns all that comes
// back until the server closes (bounded by timeoutMs).
inline std::string Exchange(uint16_t port, const std::string& request, uint32_t timeoutMs = 5000) {
    platform::SocketHandle s = platform::SocketOpenTcp();
    if (!platform::SocketConnect(s, platform::kIpv4Loopback, port)) {
        platform::SocketClose(s);
        return "<connect failed>";
    }
    if (!request.empty())
        platform::SocketSend(s, request.data(), request.size());
    std::string out;
    char chunk[8192];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (platform::SocketWaitReadable(s, 100) != 1)
            continue;
        const int64_t n = platform::SocketReceive(s, chunk, sizeof chunk);
        if (n <= 0)
            break;
        out.append(chunk, static_cast<size_t>(n));
    }
    platform::SocketClose(s);
    return out;
}

// The head without its Date line, which changes from second to second.
inline std::string WithoutDate(const std::string& answer) {
    const size_t date = answer.find("Date: ");
    if (date == std::string::npos)
        return answer;
    const size_t end = answer.find("\r\n", date);
    return answer.substr(0, date) + answer.substr(end + 2);
}

inline std::string Body(const std::string& answer) {
    const size_t end = answer.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : answer.substr(end + 4);
}

} // namespace kxr::httpd::test

#endif

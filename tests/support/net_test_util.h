// Helpers shared by the tests that talk to a server over loopback: a free
// port, a connected socket pair, a raw HTTP exchange and temporary files.
#ifndef KXR_TESTS_NET_TEST_UTIL_H
#define KXR_TESTS_NET_TEST_UTIL_H

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/kxr_socket.h"

namespace kxrtest {

// A free TCP port on the loopback interface (free when asked).
uint16_t FreeLoopbackPort();
// Whether a connection to address (network order) and port is accepted.
bool CanConnect(uint16_t port, uint32_t address = kxr::platform::kIpv4Loopback);

// Everything the peer sends until it closes, or nothing comes for quietMs.
std::string ReceiveAll(kxr::platform::SocketHandle socket, uint32_t quietMs = 20000);
// Sends request on a new loopback connection and returns the whole answer;
// empty when the connection fails.
std::string Exchange(uint16_t port, const std::string& request, uint32_t quietMs = 20000);
// What follows the head of an answer; empty without a head.
std::string Body(const std::string& answer);

// A connected loopback pair: server is the accepted end.
struct SocketPair {
    kxr::platform::SocketHandle client = kxr::platform::kInvalidSocket;
    kxr::platform::SocketHandle server = kxr::platform::kInvalidSocket;
    SocketPair();
    ~SocketPair();
    SocketPair(const SocketPair&) = delete;
    SocketPair& operator=(const SocketPair&) = delete;
};

// A fresh directory under the system's temporary directory, removed with
// the object.
class TempDir {
public:
    explicit TempDir(const std::string& tag);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Writes the file, making its parent directories; false when it failed.
bool WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);

} // namespace kxrtest

#endif

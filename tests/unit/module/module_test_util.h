// Shared pieces of the module's tests: loopback sockets, temporary
// directories and configurations, and the error log captured.
#ifndef KXR_TESTS_MODULE_TEST_UTIL_H
#define KXR_TESTS_MODULE_TEST_UTIL_H

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/kxr_socket.h"

namespace kxrtest {

// A free TCP port on the loopback interface (free when asked).
uint16_t FreeLoopbackPort();

// A connected pair on the loopback interface: server is the accepted end.
struct SocketPair {
    kxr::platform::SocketHandle client = kxr::platform::kInvalidSocket;
    kxr::platform::SocketHandle server = kxr::platform::kInvalidSocket;
    ~SocketPair();
};
bool MakeSocketPair(SocketPair* pair);

// Everything the peer sends until it closes (or timeoutMs passes).
std::string ReceiveAll(kxr::platform::SocketHandle socket, uint32_t timeoutMs = 5000);
// Connects to 127.0.0.1:port, sends request and reads the whole answer.
// Empty when the connection fails.
std::string Exchange(uint16_t port, const std::string& request);
bool CanConnect(uint16_t port);

// A fresh directory under the system's temporary directory, removed with
// the object.
class TempDir {
public:
    explicit TempDir(const std::string& tag);
    ~TempDir();
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& path, const std::string& text);
std::string ReadFile(const std::filesystem::path& path);

// Collects the host error log's lines while it lives.
class ErrorLogCapture {
public:
    ErrorLogCapture();
    ~ErrorLogCapture();
    std::vector<std::string> Lines() const;
    size_t Count(const std::string& line) const;
};

} // namespace kxrtest

#endif

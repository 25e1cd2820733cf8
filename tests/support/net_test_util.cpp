#include "tests/support/net_test_util.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>

#include "platform/kxr_process.h"

namespace kxrtest {

namespace plat = kxr::platform;
namespace fs = std::filesystem;

uint16_t FreeLoopbackPort() {
    const plat::SocketHandle s = plat::SocketOpenTcp();
    uint16_t port = 0;
    if (s != plat::kInvalidSocket && plat::SocketBind(s, plat::kIpv4Loopback, 0))
        port = plat::SocketLocalPort(s);
    plat::SocketClose(s);
    return port;
}

bool CanConnect(uint16_t port, uint32_t address) {
    const plat::SocketHandle s = plat::SocketOpenTcp();
    const bool ok = s != plat::kInvalidSocket && plat::SocketConnect(s, address, port);
    plat::SocketClose(s);
    return ok;
}

std::string ReceiveAll(plat::SocketHandle socket, uint32_t quietMs) {
    std::string out;
    char buffer[8192];
    while (plat::SocketWaitReadable(socket, quietMs) == 1) {
        const int64_t n = plat::SocketReceive(socket, buffer, sizeof buffer);
        if (n <= 0)
            break;
        out.append(buffer, static_cast<size_t>(n));
    }
    return out;
}

std::string Exchange(uint16_t port, const std::string& request, uint32_t quietMs) {
    const plat::SocketHandle s = plat::SocketOpenTcp();
    if (s == plat::kInvalidSocket || !plat::SocketConnect(s, plat::kIpv4Loopback, port)) {
        plat::SocketClose(s);
        return std::string();
    }
    size_t sent = 0;
    while (sent < request.size()) {
        const int64_t n = plat::SocketSend(s, request.data() + sent, request.size() - sent);
        if (n <= 0)
            break;
        sent += static_cast<size_t>(n);
    }
    std::string answer = ReceiveAll(s, quietMs);
    plat::SocketClose(s);
    return answer;
}

std::string Body(const std::string& answer) {
    const size_t end = answer.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : answer.substr(end + 4);
}

SocketPair::SocketPair() {
    const plat::SocketHandle listener = plat::SocketOpenTcp();
    if (plat::SocketBind(listener, plat::kIpv4Loopback, 0) && plat::SocketListen(listener, 1)) {
        client = plat::SocketOpenTcp();
        if (plat::SocketConnect(client, plat::kIpv4Loopback, plat::SocketLocalPort(listener)))
            server = plat::SocketAccept(listener, nullptr, nullptr);
    }
    plat::SocketClose(listener);
}

SocketPair::~SocketPair() {
    if (client != plat::kInvalidSocket)
        plat::SocketClose(client);
    if (server != plat::kInvalidSocket)
        plat::SocketClose(server);
}

TempDir::TempDir(const std::string& tag) {
    static std::atomic<int> made{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ =
        fs::temp_directory_path() / ("kxr_" + tag + "_" + std::to_string(plat::ProcessCurrentId()) +
                                     "_" + std::to_string(stamp) + "_" + std::to_string(made++));
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

bool WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return out.good();
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace kxrtest

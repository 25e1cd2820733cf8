#include "module_test_util.h"

#include <chrono>
#include <fstream>
#include <mutex>
#include <sstream>

#include "kxr/rvutil.h"
#include "platform/kxr_process.h"

namespace kxrtest {

namespace plat = kxr::platform;
namespace fs = std::filesystem;

uint16_t FreeLoopbackPort() {
    const plat::SocketHandle s = plat::SocketOpenTcp();
    uint16_t port = 0;
    if (s != plat::kInvalidSocket && plat::SocketBind(s, plat::kIpv4Loopback, 0)) {
        port = plat::SocketLocalPort(s);
    }
    plat::SocketClose(s);
    return port;
}

SocketPair::~SocketPair() {
    if (client != plat::kInvalidSocket) {
        plat::SocketClose(client);
    }
    if (server != plat::kInvalidSocket) {
        plat::SocketClose(server);
    }
}

bool MakeSocketPair(SocketPair* pair) {
    const plat::SocketHandle listener = plat::SocketOpenTcp();
    bool ok = listener != plat::kInvalidSocket &&
              plat::SocketBind(listener, plat::kIpv4Loopback, 0) && plat::SocketListen(listener, 1);
    const uint16_t port = ok ? plat::SocketLocalPort(listener) : 0;
    if (ok) {
        pair->client = plat::SocketOpenTcp();
        ok = plat::SocketConnect(pair->client, plat::kIpv4Loopback, port);
    }
    if (ok) {
        pair->server = plat::SocketAccept(listener, nullptr, nullptr);
        ok = pair->server != plat::kInvalidSocket;
    }
    plat::SocketClose(listener);
    return ok;
}

std::string ReceiveAll(plat::SocketHandle socket, uint32_t timeoutMs) {
    plat::SocketSetReceiveTimeout(socket, timeoutMs);
    std::string out;
    char buffer[4096];
    for (;;) {
        const int64_t n = plat::SocketReceive(socket, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        out.append(buffer, static_cast<size_t>(n));
    }
    return out;
}

std::string Exchange(uint16_t port, const std::string& request) {
    const plat::SocketHandle s = plat::SocketOpenTcp();
    if (s == plat::kInvalidSocket || !plat::SocketConnect(s, plat::kIpv4Loopback, port)) {
        plat::SocketClose(s);
        return std::string();
    }
    size_t sent = 0;
    while (sent < request.size()) {
        const int64_t n = plat::SocketSend(s, request.data() + sent, request.size() - sent);
        if (n <= 0) {
            break;
        }
        sent += static_cast<size_t>(n);
    }
    std::string answer = ReceiveAll(s);
    plat::SocketClose(s);
    return answer;
}

bool CanConnect(uint16_t port) {
    const plat::SocketHandle s = plat::SocketOpenTcp();
    const bool ok = s != plat::kInvalidSocket && plat::SocketConnect(s, plat::kIpv4Loopback, port);
    plat::SocketClose(s);
    return ok;
}

TempDir::TempDir(const std::string& tag) {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = fs::temp_directory_path() /
            ("kxrmod_" + tag + "_" + std::to_string(plat::ProcessCurrentId()) + "_" +
             std::to_string(stamp));
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

namespace {
std::mutex captureLock;
std::vector<std::string> captured;

void Collect(uint32_t, const char* line) {
    std::lock_guard<std::mutex> hold(captureLock);
    captured.emplace_back(line);
}
} // namespace

ErrorLogCapture::ErrorLogCapture() {
    {
        std::lock_guard<std::mutex> hold(captureLock);
        captured.clear();
    }
    rvSetErrSink(&Collect);
}

ErrorLogCapture::~ErrorLogCapture() {
    rvSetErrSink(nullptr);
}

std::vector<std::string> ErrorLogCapture::Lines() const {
    std::lock_guard<std::mutex> hold(captureLock);
    return captured;
}

size_t ErrorLogCapture::Count(const std::string& line) const {
    std::lock_guard<std::mutex> hold(captureLock);
    size_t n = 0;
    for (const std::string& l : captured) {
        n += l == line ? 1 : 0;
    }
    return n;
}

} // namespace kxrtest

#include "host_process.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/kxr_socket.h"

#ifndef KXR_HOST_EXECUTABLE
#error "the build names kxr-host in KXR_HOST_EXECUTABLE"
#endif

namespace kxrit {

namespace fs = std::filesystem;
namespace plat = kxr::platform;

namespace {

// Generous: the machine may be busy with a parallel build.
constexpr auto kStartTimeout = std::chrono::seconds(30);
constexpr uint32_t kReapMs = 10000;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

uint16_t FreeLoopbackPort() {
    const plat::SocketHandle s = plat::SocketOpenTcp();
    uint16_t port = 0;
    if (s != plat::kInvalidSocket && plat::SocketBind(s, plat::kIpv4Loopback, 0)) {
        port = plat::SocketLocalPort(s);
    }
    plat::SocketClose(s);
    return port;
}

bool CanConnect(uint16_t port) {
    const plat::SocketHandle s = plat::SocketOpenTcp();
    const bool ok = s != plat::kInvalidSocket && plat::SocketConnect(s, plat::kIpv4Loopback, port);
    plat::SocketClose(s);
    return ok;
}

std::string RawExchange(uint16_t port, const std::string& request) {
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
    plat::SocketSetReceiveTimeout(s, 20000);
    std::string answer;
    char buffer[8192];
    for (;;) {
        const int64_t n = plat::SocketReceive(s, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        answer.append(buffer, static_cast<size_t>(n));
    }
    plat::SocketClose(s);
    return answer;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

HostProcess::HostProcess() {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir_ = fs::temp_directory_path() /
           ("kxrhost_" + std::to_string(plat::ProcessCurrentId()) + "_" + std::to_string(stamp));
    root_ = dir_ / "www";
    log_ = dir_ / "host.log";
    fs::create_directories(root_);
    fs::create_directories(dir_ / "media");
    fs::create_directories(dir_ / "logs");
}

HostProcess::~HostProcess() {
    if (process_ != plat::kNoProcess) {
        int ignored = 0;
        if (!plat::ProcessWait(process_, 0, &ignored)) {
            plat::ProcessKill(process_);
            plat::ProcessWait(process_, kReapMs, &ignored);
        }
    }
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
}

std::string HostProcess::Output() const {
    return ReadText(log_);
}

bool HostProcess::Start() {
    for (int attempt = 0; attempt < 3 && process_ == plat::kNoProcess; ++attempt) {
        port_ = FreeLoopbackPort();
        if (port_ == 0) {
            continue;
        }
        const fs::path config = dir_ / "kxr.toml";
        // Literal TOML strings: a Windows path keeps its backslashes.
        WriteFile(config, "[KXR.NetServer]\nHTTPPort = " + std::to_string(port_) +
                              "\nHTTPPath = '" + root_.string() + "'\n\n[KXR.Internal0]\nDir = '" +
                              (dir_ / "media").string() +
                              "'\n\n[KXR.Engine]\nChannels = 2\nDeterministic = 1\nLogDir = '" +
                              (dir_ / "logs").string() + "'\n");
        process_ = plat::ProcessSpawn({KXR_HOST_EXECUTABLE, "--config", config.string()},
                                      log_.string().c_str());
        if (process_ == plat::kNoProcess) {
            failure_ = "kxr-host could not be started";
            return false;
        }
        const std::string serving = "serving http://127.0.0.1:" + std::to_string(port_) + "/";
        const auto until = std::chrono::steady_clock::now() + kStartTimeout;
        while (std::chrono::steady_clock::now() < until) {
            int code = 0;
            if (plat::ProcessWait(process_, 0, &code)) {
                // Ended early: the port may have been taken meanwhile.
                process_ = plat::kNoProcess;
                failure_ = "kxr-host ended with " + std::to_string(code) + ":\n" + Output();
                break;
            }
            const std::string output = Output();
            if (output.find("bind() failed") != std::string::npos) {
                // Someone took the port after it was chosen: try another.
                plat::ProcessKill(process_);
                plat::ProcessWait(process_, kReapMs, &code);
                process_ = plat::kNoProcess;
                failure_ = "no port could be bound:\n" + output;
                break;
            }
            if (output.find(serving) != std::string::npos && CanConnect(port_)) {
                failure_.clear();
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (process_ != plat::kNoProcess) {
            failure_ = "kxr-host did not serve in time:\n" + Output();
            return false;
        }
    }
    return false;
}

bool HostProcess::Stop(uint32_t timeoutMs, int* exitCode) {
    if (process_ == plat::kNoProcess || !plat::ProcessRequestStop(process_)) {
        return false;
    }
    if (plat::ProcessWait(process_, timeoutMs, exitCode)) {
        process_ = plat::kNoProcess;
        return true;
    }
    return false;
}

} // namespace kxrit

#include "host_process.h"

#include <chrono>
#include <thread>

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

} // namespace

HostProcess::HostProcess() : root_(dir_.Path() / "www"), log_(dir_.Path() / "host.log") {
    for (const char* d : {"www", "media", "logs"})
        fs::create_directories(dir_.Path() / d);
}

HostProcess::~HostProcess() {
    if (process_ != plat::kNoProcess) {
        int ignored = 0;
        if (!plat::ProcessWait(process_, 0, &ignored)) {
            plat::ProcessKill(process_);
            plat::ProcessWait(process_, kReapMs, &ignored);
        }
    }
}

std::string HostProcess::Get(const std::string& target) const {
    return kxrtest::Exchange(
        port_, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
}

std::pair<std::string, std::string> StatusAndBody(const std::string& answer) {
    return {answer.substr(0, answer.find("\r\n")), kxrtest::Body(answer)};
}

bool HostProcess::Start(const std::string& extraConfig, const std::string& netServerLines) {
    // Ended early or failed to bind: the port may have been taken after it was
    // chosen; try another.
    for (int attempt = 0; attempt < 3; ++attempt) {
        port_ = kxrtest::FreeLoopbackPort();
        const fs::path config = Dir() / "kxr.toml";
        // Literal TOML strings: a Windows path keeps its backslashes.
        kxrtest::WriteFile(config, "[KXR.NetServer]\nHTTPPort = " + std::to_string(port_) +
                                       "\nHTTPPath = '" + root_.string() + "'\n" + netServerLines +
                                       "\n[KXR.Internal0]\nDir = '" + (Dir() / "media").string() +
                                       "'\n\n[KXR.Engine]\nChannels = 2\nDeterministic = 1\n"
                                       "LogDir = '" +
                                       (Dir() / "logs").string() + "'\n" + extraConfig);
        process_ = plat::ProcessSpawn({KXR_HOST_EXECUTABLE, "--config", config.string()},
                                      log_.string().c_str());
        if (process_ == plat::kNoProcess) {
            failure_ = "kxr-host could not be started";
            return false;
        }
        const std::string serving = "serving http://127.0.0.1:" + std::to_string(port_) + "/";
        const auto until = std::chrono::steady_clock::now() + kStartTimeout;
        int code = 0;
        bool late = false;
        while (!plat::ProcessWait(process_, 0, &code)) {
            const std::string output = Output();
            if (output.find(serving) != std::string::npos && kxrtest::CanConnect(port_))
                return true;
            late = std::chrono::steady_clock::now() > until;
            if (late || output.find("bind() failed") != std::string::npos) {
                plat::ProcessKill(process_);
                plat::ProcessWait(process_, kReapMs, &code);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        process_ = plat::kNoProcess;
        failure_ = "kxr-host did not serve (" + std::to_string(code) + "):\n" + Output();
        if (late)
            return false;
    }
    return false;
}

bool HostProcess::Stop(uint32_t timeoutMs, int* exitCode) {
    if (process_ == plat::kNoProcess || !plat::ProcessRequestStop(process_) ||
        !plat::ProcessWait(process_, timeoutMs, exitCode))
        return false;
    process_ = plat::kNoProcess;
    return true;
}

} // namespace kxrit

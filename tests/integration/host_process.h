// Runs the real kxr-host for a test: a temporary configuration and document
// root, a free loopback port, and a child process that is always ended by its
// pid.
#ifndef KXR_TESTS_INTEGRATION_HOST_PROCESS_H
#define KXR_TESTS_INTEGRATION_HOST_PROCESS_H

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/kxr_process.h"

namespace kxrit {

class HostProcess {
public:
    HostProcess();
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    // Writes the configuration, starts kxr-host and waits until it accepts
    // connections. False (with the reason in Failure()) when it did not.
    bool Start();
    // Asks the host to stop and waits up to timeoutMs; true with its exit
    // code when it ended.
    bool Stop(uint32_t timeoutMs, int* exitCode);

    uint16_t Port() const { return port_; }
    const std::filesystem::path& Root() const { return root_; }
    const std::filesystem::path& Dir() const { return dir_; }
    std::string Output() const;
    const std::string& Failure() const { return failure_; }

private:
    std::filesystem::path dir_;
    std::filesystem::path root_;
    std::filesystem::path log_;
    uint16_t port_ = 0;
    kxr::platform::ProcessId process_ = kxr::platform::kNoProcess;
    std::string failure_;
};

// The whole answer to a request sent over a raw loopback socket.
std::string RawExchange(uint16_t port, const std::string& request);
bool CanConnect(uint16_t port);
uint16_t FreeLoopbackPort();

void WriteFile(const std::filesystem::path& path, const std::string& bytes);

} // namespace kxrit

#endif

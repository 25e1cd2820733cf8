// Runs the real kxr-host for a test: a temporary configuration and document
// root, a free loopback port, and a child process that is always ended by its
// pid.
#ifndef KXR_TESTS_INTEGRATION_HOST_PROCESS_H
#define KXR_TESTS_INTEGRATION_HOST_PROCESS_H

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/kxr_process.h"
#include "tests/support/net_test_util.h"

namespace kxrit {

class HostProcess {
public:
    HostProcess();
    ~HostProcess(); // not copied: it owns its directory

    // Writes the configuration (with netServerLines in its [KXR.NetServer]
    // table and extraConfig at its end), starts kxr-host and waits until it
    // accepts connections. False (with the reason in Failure()) when it did
    // not.
    bool Start(const std::string& extraConfig = std::string(),
               const std::string& netServerLines = std::string());
    // Asks the host to stop and waits up to timeoutMs; true with its exit
    // code when it ended.
    bool Stop(uint32_t timeoutMs, int* exitCode);

    uint16_t Port() const { return port_; }
    // The document root is Dir()/www, the record directory Dir()/media.
    const std::filesystem::path& Root() const { return root_; }
    const std::filesystem::path& Dir() const { return dir_.Path(); }
    std::string Output() const { return kxrtest::ReadFile(log_); }
    const std::string& Failure() const { return failure_; }
    // The whole answer to GET target, sent over a raw loopback socket.
    std::string Get(const std::string& target) const;

private:
    kxrtest::TempDir dir_{"kxrhost"};
    std::filesystem::path root_;
    std::filesystem::path log_;
    uint16_t port_ = 0;
    kxr::platform::ProcessId process_ = kxr::platform::kNoProcess;
    std::string failure_;
};

// The status line and the body of an answer.
std::pair<std::string, std::string> StatusAndBody(const std::string& answer);

} // namespace kxrit

#endif

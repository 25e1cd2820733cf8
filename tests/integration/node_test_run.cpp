#include "node_test_run.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/kxr_process.h"

#ifndef KXR_BROWSER_TESTS_DIR
#error "the build names the browser tests' folder in KXR_BROWSER_TESTS_DIR"
#endif

namespace kxrit {

namespace fs = std::filesystem;
namespace plat = kxr::platform;

namespace {

constexpr uint32_t kNodeTimeoutMs = 180000;

} // namespace

NodeRun RunNodeTest(const std::string& file, const HostProcess& host,
                    const std::vector<std::string>& environment) {
    const fs::path dir = KXR_BROWSER_TESTS_DIR;
    const fs::path log = host.Dir() / (file + ".log");
    NodeRun run;
    if (!fs::exists(dir / "node_modules")) {
        ADD_FAILURE() << "tests/browser has no node_modules: scripts/install-deps runs npm ci in "
                      << dir.string();
        return run;
    }
    std::vector<std::string> argv = {"/usr/bin/env", "KXR_BASE_URL=http://127.0.0.1:" +
                                                         std::to_string(host.Port())};
    argv.insert(argv.end(), environment.begin(), environment.end());
    for (const char* word : {"node", "--test", "--test-reporter=tap"})
        argv.emplace_back(word);
    argv.push_back((dir / file).string());
    const plat::ProcessId process = plat::ProcessSpawn(argv, log.string().c_str());
    run.finished =
        process != plat::kNoProcess && plat::ProcessWait(process, kNodeTimeoutMs, &run.exitCode);
    if (!run.finished && process != plat::kNoProcess) {
        plat::ProcessKill(process);
        int ignored = 0;
        plat::ProcessWait(process, 10000, &ignored);
    }
    run.output = kxrtest::ReadFile(log);
    EXPECT_TRUE(run.finished && run.exitCode == 0)
        << file << (run.finished ? " failed" : " did not finish in time") << ":\n"
        << run.output;
    return run;
}

} // namespace kxrit

// Runs a node test file of tests/browser/ (node's own test runner) against a
// running kxr-host; the process is ended by its pid when it overruns.
#ifndef KXR_TESTS_INTEGRATION_NODE_TEST_RUN_H
#define KXR_TESTS_INTEGRATION_NODE_TEST_RUN_H

#include <string>
#include <vector>

#include "host_process.h"

namespace kxrit {

struct NodeRun {
    bool finished = false;
    int exitCode = -1;
    std::string output; // standard output and error together
};

// KXR_BASE_URL names the host; environment adds "NAME=value" entries. The
// test fails unless node finished and its tests passed.
NodeRun RunNodeTest(const std::string& file, const HostProcess& host,
                    const std::vector<std::string>& environment = {});

} // namespace kxrit

#endif

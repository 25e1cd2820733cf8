// Pieces of the server tests beyond the shared loopback helpers.
#ifndef KXR_TESTS_HTTPD_SUPPORT_H
#define KXR_TESTS_HTTPD_SUPPORT_H

#include <memory>
#include <string>

#include "httpd/connection_record.h"
#include "tests/support/net_test_util.h"

namespace kxr::httpd::test {

// A zero-filled record on the server end of a loopback pair.
struct RecordOnPair {
    kxrtest::SocketPair pair;
    std::unique_ptr<ConnectionRecord> record = std::make_unique<ConnectionRecord>();
    RecordOnPair() {
        record->socket = pair.server;
        record->clientAddr = platform::kIpv4Loopback;
    }
    std::string Sent() const { return kxrtest::ReceiveAll(pair.client, 100); }
};

// The answer without its Date line, which changes from second to second.
inline std::string WithoutDate(const std::string& answer) {
    const size_t date = answer.find("Date: ");
    if (date == std::string::npos)
        return answer;
    return answer.substr(0, date) + answer.substr(answer.find("\r\n", date) + 2);
}

} // namespace kxr::httpd::test

#endif

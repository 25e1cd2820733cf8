#include "access/access_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/kxr_socket.h"
#include "tests/support/net_test_util.h"

namespace {

using kxr::access::AccessEntry;

TEST(AccessLog, CombinedFormatWithTheUserAndNoForgedLines) {
    AccessEntry entry;
    entry.clientAddr = kxr::platform::kIpv4Loopback;
    entry.unixTime = 1709643909; // Tue, 05 Mar 2024 13:05:09 UTC
    entry.requestLine = "GET /a\"b\\c\r\nX HTTP/1.1";
    entry.status = 206;
    entry.bytes = 1234;
    entry.userAgent = "curl/8";
    entry.user = "op erator";
    EXPECT_EQ(kxr::access::FormatAccessLine(entry),
              "127.0.0.1 - op_erator [05/Mar/2024:13:05:09 +0000] "
              "\"GET /a\\\"b\\\\c\\x0d\\x0aX HTTP/1.1\" 206 1234 \"-\" \"curl/8\"");
}

TEST(AccessLog, EveryQueuedLineIsWrittenByTheTimeItCloses) {
    kxrtest::TempDir dir{"accesslog"};
    const std::filesystem::path file = dir.Path() / "access.log";
    kxrtest::WriteFile(file, "earlier line\n");
    ASSERT_TRUE(kxr::access::OpenAccessLog(file.string().c_str()));
    EXPECT_TRUE(kxr::access::AccessLogIsOpen());
    // Several threads at once, as connection threads submit.
    std::thread writers[4];
    for (int t = 0; t < 4; ++t)
        writers[t] = std::thread([t] {
            for (int i = 0; i < 250; ++i) {
                AccessEntry entry;
                entry.requestLine = "GET /" + std::to_string(t) + "/" + std::to_string(i);
                kxr::access::SubmitAccessEntry(entry);
            }
        });
    for (std::thread& w : writers)
        w.join();
    kxr::access::CloseAccessLog();
    EXPECT_FALSE(kxr::access::AccessLogIsOpen());
    // Closed: nothing more is taken.
    kxr::access::SubmitAccessEntry(AccessEntry{});
    const std::string text = kxrtest::ReadFile(file);
    EXPECT_EQ(text.rfind("earlier line\n", 0), 0u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1001);
    EXPECT_NE(text.find("\"GET /3/249\""), std::string::npos);
    // A file that cannot be opened is refused.
    EXPECT_FALSE(kxr::access::OpenAccessLog((dir.Path() / "no" / "such.log").string().c_str()));
}

} // namespace

// The real kxr-host with the real module, engine and support libraries,
// spoken to over loopback with raw sockets, where the exact bytes matter.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>
#include <string>

#include <nlohmann/json.hpp>

#include "host_process.h"

namespace {

using kxrit::StatusAndBody;

// One host serves the request tests.
class RunningHost : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        host_ = std::make_unique<kxrit::HostProcess>();
        started_ = host_->Start();
    }
    static void TearDownTestSuite() { host_.reset(); }
    void SetUp() override { ASSERT_TRUE(started_) << host_->Failure(); }
    // The body of a 200 answer to GET target.
    static std::string Ok(const std::string& target) {
        const auto [status, body] = StatusAndBody(host_->Get(target));
        EXPECT_EQ(status, "HTTP/1.1 200 OK") << target;
        return body;
    }

    static inline std::unique_ptr<kxrit::HostProcess> host_;
    static inline bool started_ = false;
};

TEST_F(RunningHost, EventLogCopyLandsInTheDocumentRoot) {
    const std::filesystem::path copy = host_->Root() / "eventlog.csv";
    std::filesystem::remove(copy);
    const std::string asked = Ok("/KXRXML/MediaCmd?GetValue&cmdalt=10100");
    EXPECT_NE(asked.find("<Text Value=\"eventlog.csv\">"), std::string::npos) << asked;
    EXPECT_TRUE(std::filesystem::exists(copy));
    EXPECT_EQ(Ok("/eventlog.csv").rfind("Time,Ms,Channel,", 0), 0u);
}

TEST_F(RunningHost, PagesGoOutAsHtmlAndAnswersAsXml) {
    const auto typeOf = [](const std::string& answer) {
        const size_t at = answer.find("\r\nContent-Type: ");
        return at == std::string::npos
                   ? std::string()
                   : answer.substr(at + 16, answer.find('\r', at + 2) - at - 16);
    };
    EXPECT_EQ(typeOf(host_->Get("/KXRStatus")), "text/html; charset=iso-8859-1");
    EXPECT_EQ(typeOf(host_->Get("/KXRMedia")), "text/html; charset=iso-8859-1");
    EXPECT_EQ(typeOf(host_->Get("/KXRXML/Status")), "application/xml; charset=uft-8");
    EXPECT_EQ(typeOf(host_->Get("/KXRGetState")), "text/plain");
}

TEST_F(RunningHost, RelayPathIsAnsweredByTheHostCallback) {
    const std::string line = "GET /vorn?request=status&channel=1 HTTP/1.1";
    const std::string body = "{\"request\":\"" + line + "\"}";
    EXPECT_EQ(kxrtest::Exchange(host_->Port(), line + "\r\nHost: 127.0.0.1\r\n\r\n"),
              "HTTP/1.1 200 OK\r\nConnection: close\r\nCache-Control: no-cache\r\n"
              "Content-Length:" +
                  std::to_string(body.size()) +
                  "\r\nServer: TarvikWebServer/7.0\r\n"
                  "Content-Type: application/json\r\n\r\n" +
                  body);
}

TEST_F(RunningHost, MonitorAndConfigurationPathsAnswerJson) {
    auto channels = nlohmann::json::parse(Ok("/monitor/"));
    ASSERT_EQ(channels["channels"].size(), 2u) << channels;
    EXPECT_EQ(channels["channels"][1],
              nlohmann::json::parse(R"({"channel":1,"name":"Channel 2","state":"Stopped",
                                        "position":"00:00:00:00","clip":""})"));
    auto store = nlohmann::json::parse(Ok("/config?"));
    EXPECT_EQ(store["KXR"]["NetServer"]["HTTPPort"], host_->Port()) << store;
    EXPECT_EQ(store["KXR"]["NetServer"]["HTTPPath"], host_->Root().string());
    EXPECT_EQ(store["KXR"]["Engine"]["Deterministic"], 1);
}

TEST(DemoHost, ServesThisMachineOnlyUnlessAnInterfaceIsGiven) {
    const uint32_t otherLoopback = kxr::platform::HostToNet32(0x7F000002u); // 127.0.0.2
    {
        kxrit::HostProcess host;
        ASSERT_TRUE(host.Start()) << host.Failure();
        EXPECT_TRUE(kxrtest::CanConnect(host.Port()));
        EXPECT_FALSE(kxrtest::CanConnect(host.Port(), otherLoopback));
        EXPECT_NE(host.Output().find("serving http://127.0.0.1:"), std::string::npos);
    }
    kxrit::HostProcess host;
    ASSERT_TRUE(host.Start("", "Interface = '0.0.0.0'\n")) << host.Failure();
    EXPECT_TRUE(kxrtest::CanConnect(host.Port(), otherLoopback));
}

TEST(DemoHost, RefusesToStartWhenItCannotStoreAnOption) {
    kxrtest::TempDir dir{"hostopts"};
    const std::filesystem::path log = dir.Path() / "host.log";
    const kxr::platform::ProcessId process = kxr::platform::ProcessSpawn(
        {KXR_HOST_EXECUTABLE, "--config", (dir.Path() / "missing" / "kxr.toml").string(), "--port",
         std::to_string(kxrtest::FreeLoopbackPort())},
        log.string().c_str());
    int code = -1;
    const bool ended = kxr::platform::ProcessWait(process, 20000, &code);
    if (!ended && kxr::platform::ProcessKill(process))
        kxr::platform::ProcessWait(process, 10000, &code);
    EXPECT_TRUE(ended && code == 1) << "it started although it could not store its port";
    EXPECT_NE(kxrtest::ReadFile(log).find("cannot store --port"), std::string::npos)
        << kxrtest::ReadFile(log);
}

TEST(HostAccessLog, OneCombinedLinePerRequestWithTheAnswersStatusAndSize) {
    kxrit::HostProcess host;
    kxrtest::WriteFile(host.Root() / "hello.txt", "hello");
    const std::filesystem::path log = host.Dir() / "access.log";
    ASSERT_TRUE(host.Start("", "AccessLog = '" + log.string() + "'\n")) << host.Failure();
    const std::string file = kxrtest::Exchange(
        host.Port(),
        "GET /hello.txt HTTP/1.1\r\nReferer: http://x/\r\nUser-Agent: probe \"1\"\r\n\r\n");
    const std::string routed = host.Get("/KXRGetState");
    host.Get("/missing.txt");
    int code = -1;
    ASSERT_TRUE(host.Stop(10000, &code)) << host.Output();

    const std::string text = kxrtest::ReadFile(log);
    const std::string when = "\\[\\d\\d/[A-Z][a-z][a-z]/\\d{4}:\\d\\d:\\d\\d:\\d\\d \\+0000\\]";
    const std::string lines[] = {
        "127.0.0.1 - - " + when + " \"GET /hello.txt HTTP/1.1\" 200 " +
            std::to_string(file.size()) + " \"http://x/\" \"probe \\\\\"1\\\\\"\"\n",
        "127.0.0.1 - - " + when + " \"GET /KXRGetState HTTP/1.1\" 200 " +
            std::to_string(routed.size()) + " \"-\" \"-\"\n",
        "127.0.0.1 - - " + when + " \"GET /missing.txt HTTP/1.1\" 404 \\d+ \"-\" \"-\"\n",
    };
    EXPECT_TRUE(std::regex_match(text, std::regex(lines[0] + lines[1] + lines[2]))) << text;
}

} // namespace

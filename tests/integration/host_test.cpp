// The real kxr-host with the real module, engine and support libraries,
// spoken to over loopback: libcurl as an independent client, raw sockets
// where the exact bytes matter.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <random>
#include <string>

#include "host_process.h"

namespace {

struct CurlResult {
    CURLcode code = CURLE_FAILED_INIT;
    long status = 0;
    std::string body;
    std::string contentType;
};

size_t Collect(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

CurlResult CurlGet(uint16_t port, const std::string& target, const char* range = nullptr) {
    CurlResult result;
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        return result;
    }
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + target;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &result.body);
    if (range != nullptr) {
        curl_easy_setopt(curl, CURLOPT_RANGE, range);
    }
    result.code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
    char* type = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type != nullptr) {
        result.contentType = type;
    }
    curl_easy_cleanup(curl);
    return result;
}

std::string RandomBytes(size_t count) {
    std::mt19937 generator(12345);
    std::string bytes(count, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(generator() & 0xFF);
    }
    return bytes;
}

// One host serves the request tests.
class RunningHost : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        host_ = std::make_unique<kxrit::HostProcess>();
        payload_ = RandomBytes(100 * 1024 + 17);
        kxrit::WriteFile(host_->Root() / "data.bin", payload_);
        kxrit::WriteFile(host_->Root() / "index.html", "<html><body>home</body></html>");
        started_ = host_->Start();
    }
    static void TearDownTestSuite() {
        host_.reset();
        curl_global_cleanup();
    }
    void SetUp() override { ASSERT_TRUE(started_) << host_->Failure(); }

    static std::unique_ptr<kxrit::HostProcess> host_;
    static std::string payload_;
    static bool started_;
};

std::unique_ptr<kxrit::HostProcess> RunningHost::host_;
std::string RunningHost::payload_;
bool RunningHost::started_ = false;

TEST_F(RunningHost, ServesAStaticFileWhole) {
    const CurlResult r = CurlGet(host_->Port(), "/data.bin");
    ASSERT_EQ(r.code, CURLE_OK) << curl_easy_strerror(r.code);
    EXPECT_EQ(r.status, 200);
    EXPECT_TRUE(r.body == payload_) << "got " << r.body.size() << " bytes";
}

TEST_F(RunningHost, ServesAByteRange) {
    const CurlResult r = CurlGet(host_->Port(), "/data.bin", "1000-1999");
    ASSERT_EQ(r.code, CURLE_OK) << curl_easy_strerror(r.code);
    EXPECT_EQ(r.status, 206);
    EXPECT_TRUE(r.body == payload_.substr(1000, 1000)) << "got " << r.body.size() << " bytes";
}

TEST_F(RunningHost, AnswersAMissingFileWith404) {
    const std::string answer =
        kxrit::RawExchange(host_->Port(), "GET /no/such/file.txt HTTP/1.1\r\nHost: a\r\n\r\n");
    EXPECT_EQ(answer.rfind("HTTP/1.1 404 ", 0), 0u) << answer;
    const CurlResult r = CurlGet(host_->Port(), "/no/such/file.txt");
    EXPECT_EQ(r.code, CURLE_OK);
    EXPECT_EQ(r.status, 404);
}

TEST_F(RunningHost, RelayPathIsAnsweredByTheHostCallback) {
    const std::string line = "GET /vorn?request=status&channel=1 HTTP/1.1";
    const std::string body = "{\"request\":\"" + line + "\"}";
    const std::string answer =
        kxrit::RawExchange(host_->Port(), line + "\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(answer, "HTTP/1.1 200 OK\r\nConnection: close\r\nCache-Control: no-cache\r\n"
                      "Content-Length:" +
                          std::to_string(body.size()) +
                          "\r\nServer: TarvikWebServer/7.0\r\n"
                          "Content-Type: application/json\r\n\r\n" +
                          body);
}

TEST_F(RunningHost, ConfigurationAndMonitorReachAnIndependentClient) {
    const CurlResult config = CurlGet(host_->Port(), "/config?");
    ASSERT_EQ(config.code, CURLE_OK);
    EXPECT_EQ(config.status, 200);
    EXPECT_NE(config.body.find("\"HTTPPort\":" + std::to_string(host_->Port())), std::string::npos)
        << config.body;
    EXPECT_EQ(config.contentType, "text/plain");

    const CurlResult monitor = CurlGet(host_->Port(), "/monitor/");
    ASSERT_EQ(monitor.code, CURLE_OK);
    EXPECT_EQ(monitor.status, 200);
    EXPECT_EQ(monitor.contentType, "application/octet-stream");
    // Two channels from the configuration, with the engine's state words.
    EXPECT_NE(monitor.body.find("{\"channel\":1,"), std::string::npos) << monitor.body;
    EXPECT_EQ(monitor.body.find("{\"channel\":2,"), std::string::npos) << monitor.body;
    EXPECT_NE(monitor.body.find("\"state\":\"Stopped\""), std::string::npos) << monitor.body;
}

TEST(HostStop, ListenerStopsPromptlyOnSigterm) {
    kxrit::HostProcess host;
    ASSERT_TRUE(host.Start()) << host.Failure();
    const uint16_t port = host.Port();
    ASSERT_TRUE(kxrit::CanConnect(port));

    const auto begin = std::chrono::steady_clock::now();
    int code = -1;
    ASSERT_TRUE(host.Stop(10000, &code)) << host.Output();
    const auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_EQ(code, 0) << host.Output();
    // kxrQuit settles 125 ms and polls once after 250 ms; allow for a busy
    // machine on top.
    EXPECT_LT(took, std::chrono::milliseconds(2000));
    EXPECT_FALSE(kxrit::CanConnect(port));
    EXPECT_NE(host.Output().find("kxr-host: stopped"), std::string::npos) << host.Output();
}

} // namespace

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "httpd/connection.h"
#include "httpd/listener.h"
#include "httpd/response_head.h"
#include "httpd/server_settings.h"
#include "httpd_test_support.h"
#include "kxr/rvutil.h"
#include "platform/kxr_file.h"
#include "platform/kxr_time.h"

namespace kxr::httpd {
namespace {

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::string routedBody;
std::string virtualTarget;

// Answers what contains "/api/" and echoes the request it saw.
int32_t TestRoute(ConnectionRecord* record) {
    if (std::strstr(record->recvBuffer, "/api/") == nullptr)
        return 0;
    routedBody = record->recvBuffer;
    const std::string answer = "HTTP/1.1 200 OK\r\n\r\nrouted";
    SendAll(record, answer.data(), answer.size());
    return 1;
}

int32_t TestCheckVirtual(char* path) {
    if (std::strncmp(path, "/virt/", 6) != 0)
        return 0;
    std::snprintf(path, kVirtualCheckSize, "%s", virtualTarget.c_str());
    return 1;
}

class ServerTest : public testing::Test {
protected:
    void SetUp() override {
        SetServerDefaults();
        tree.Write("hello.txt", "hello");
        tree.Write("index.html", "<p>home</p>");
        tree.Write("docs/a.txt", "aaa");
        tree.MakeDir("list/sub");
        tree.Write("list/z.bin", "z");
        rootArg = tree.Path();
        const char* argv[] = {"-r", rootArg.c_str()};
        ParseServerOptions(2, argv);
        previous = test::fs::current_path();
        test::fs::current_path(tree.root);
        SetRequestHooks(RequestHooks{TestRoute, TestCheckVirtual});
        Start();
    }
    void TearDown() override {
        Stop();
        SetRequestHooks(RequestHooks{nullptr, nullptr});
        test::fs::current_path(previous);
        SetServerDefaults();
    }
    void Start() {
        running.store(1);
        result.store(99);
        server = std::thread([this] { result.store(RunServer(nullptr, 0, &running)); });
        const auto start = Clock::now();
        while (ListeningPort() == 0 && MsSince(start) < 3000)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        port = ListeningPort();
        ASSERT_NE(port, 0);
    }
    void Stop() {
        if (!server.joinable())
            return;
        CloseListenSocket();
        StopListening();
        running.store(0);
        server.join();
    }
    std::string Get(const std::string& request) { return test::Exchange(port, request); }
    std::string LastModified(const char* relative) {
        platform::FileStatus status;
        EXPECT_TRUE(platform::QueryFileStatus((tree.root / relative).string().c_str(), &status));
        char date[64];
        FormatHttpDate(platform::UnixFromFileTime(status.lastWriteTime), date, sizeof date);
        return date;
    }

    test::TempTree tree;
    std::string rootArg;
    test::fs::path previous;
    std::atomic<int32_t> running{0};
    std::atomic<int32_t> result{99};
    std::thread server;
    uint16_t port = 0;
};

std::string ErrorPage(int code, const char* reason) {
    char page[512];
    std::snprintf(page, sizeof page,
                  "<HTML><HEAD><TITLE>HTTP %d - %s</TITLE></HEAD><BODY><H1>HTTP %d - "
                  "%s<H1><H3>TarvikWebServer</H3></BODY></HTML>",
                  code, reason, code, reason);
    return page;
}

TEST_F(ServerTest, FileHeadRangeAndNotModified) {
    const std::string date = LastModified("hello.txt");
    const std::string head = "Content-Type: text/plain\r\nLast-Modified: " + date + "\r\n";
    EXPECT_EQ(test::WithoutDate(Get("GET /hello.txt HTTP/1.1\r\nHost: x\r\n\r\n")),
              "HTTP/1.1 200 OK\r\n" + head +
                  "Content-Range: bytes 0-4/5\r\nContent-Length: 5\r\nServer: "
                  "TarvikWebServer\r\n\r\nhello");
    EXPECT_EQ(test::WithoutDate(Get("HEAD /hello.txt HTTP/1.1\r\n\r\n")),
              "HTTP/1.1 200 OK\r\n" + head +
                  "Content-Range: bytes 0-4/5\r\nContent-Length: 5\r\nServer: "
                  "TarvikWebServer\r\n\r\n");
    EXPECT_EQ(test::WithoutDate(Get("GET /hello.txt HTTP/1.1\r\nRange: bytes=1-3\r\n\r\n")),
              "HTTP/1.1 206 Partial Content\r\n" + head +
                  "Content-Range: bytes 1-3/5\r\nContent-Length: 3\r\nServer: "
                  "TarvikWebServer\r\n\r\nell");
    EXPECT_EQ(test::WithoutDate(Get("GET /hello.txt HTTP/1.1\r\nRange: bytes=-2\r\n\r\n")),
              "HTTP/1.1 206 Partial Content\r\n" + head +
                  "Content-Range: bytes 3-4/5\r\nContent-Length: 2\r\nServer: "
                  "TarvikWebServer\r\n\r\nlo");
    EXPECT_EQ(test::WithoutDate(
                  Get("GET /hello.txt HTTP/1.1\r\nIf-Modified-Since: " + date + "\r\n\r\n")),
              "HTTP/1.1 304 Not Modified\r\n" + head +
                  "Content-Range: bytes 0-4/5\r\nContent-Length: 5\r\nServer: "
                  "TarvikWebServer\r\n\r\n");
    EXPECT_EQ(test::WithoutDate(Get("GET /hello.txt HTTP/1.1\r\nRange: bytes=9-\r\n\r\n")),
              "HTTP/1.1 416 Requested Range Not Satisfiable\r\nContent-Type: "
              "text/plain\r\nServer: TarvikWebServer\r\n\r\n" +
                  ErrorPage(416, "Requested Range Not Satisfiable"));
}

TEST_F(ServerTest, LargeFileIsStreamedWhole) {
    std::string big(100000, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>('a' + i % 26);
    tree.Write("big.bin", big);
    const std::string answer = Get("GET /big.bin HTTP/1.1\r\n\r\n");
    EXPECT_EQ(test::Body(answer), big);
    EXPECT_NE(answer.find("Content-Length: 100000\r\n"), std::string::npos);
    const std::string part = Get("GET /big.bin HTTP/1.1\r\nRange: bytes=50000-60000\r\n\r\n");
    EXPECT_EQ(test::Body(part), big.substr(50000, 10001));
}

TEST_F(ServerTest, RootDocumentRedirectAndListing) {
    const std::string home = Get("GET / HTTP/1.1\r\n\r\n");
    EXPECT_EQ(home.substr(0, 42), "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n");
    EXPECT_EQ(test::Body(home), "<p>home</p>");
    EXPECT_EQ(test::Body(Get("GET /index.htm HTTP/1.1\r\n\r\n")), "<p>home</p>");
    EXPECT_EQ(test::WithoutDate(Get("GET /docs HTTP/1.1\r\n\r\n")),
              "HTTP/1.1 301 Moved Permanently\r\nLocation: /docs/\r\nServer: "
              "TarvikWebServer\r\n\r\n" +
                  ErrorPage(301, "Moved Permanently"));
    const std::string listing = test::WithoutDate(Get("GET /list/ HTTP/1.1\r\n\r\n"));
    EXPECT_EQ(listing.substr(0, 47), "HTTP/1.1 201 Created\r\nContent-Type: text/html\r\n");
    EXPECT_NE(listing.find("<A href=\"/\">../</A>\n<A href=\"/list/sub/\">sub/</A>\n<A "
                           "href=\"/list/z.bin\">z.bin</A>\n</PRE>"),
              std::string::npos)
        << listing;
}

TEST_F(ServerTest, RefusalsAndUnknownMethods) {
    const std::string forbidden =
        "HTTP/1.1 403 Forbidden\r\nServer: TarvikWebServer\r\n\r\n" + ErrorPage(403, "Forbidden");
    EXPECT_EQ(test::WithoutDate(Get("GET /../secret HTTP/1.1\r\n\r\n")), forbidden);
    EXPECT_EQ(test::WithoutDate(Get("GET /a/..\\b HTTP/1.1\r\n\r\n")), forbidden);
    EXPECT_EQ(test::WithoutDate(Get("GET /%2e%2e/x HTTP/1.1\r\n\r\n")), forbidden);
    EXPECT_EQ(test::WithoutDate(Get("HEAD /../x HTTP/1.1\r\n\r\n")),
              "HTTP/1.1 403 Forbidden\r\nServer: TarvikWebServer\r\n\r\n");
    EXPECT_EQ(test::WithoutDate(Get("GET /missing.txt HTTP/1.1\r\n\r\n")),
              "HTTP/1.1 404 Not Found\r\nServer: TarvikWebServer\r\n\r\n" +
                  ErrorPage(404, "Not Found"));
    EXPECT_EQ(test::WithoutDate(Get("GET ?x HTTP/1.1\r\n\r\n")),
              "HTTP/1.1 400 Bad Request\r\nServer: TarvikWebServer\r\n\r\n" +
                  ErrorPage(400, "Bad Request"));
    // A root and target too long for the full path are simply not found.
    const std::string longTarget = "/" + std::string(300, 'q') + ".txt";
    EXPECT_EQ(Get("GET " + longTarget + " HTTP/1.1\r\n\r\n").substr(0, 24),
              "HTTP/1.1 404 Not Found\r\n");

    const auto start = Clock::now();
    EXPECT_EQ(Get("BREW /pot HTTP/1.1\r\n\r\n"), "");
    EXPECT_EQ(Get("PUT /hello.txt HTTP/1.1\r\n\r\n"), "");
    EXPECT_LT(MsSince(start), 1800);

    EXPECT_EQ(test::WithoutDate(Get("OPTIONS * HTTP/1.1\r\n\r\n")),
              "HTTP/1.1 200 OK\r\nAllow: GET,HEAD\r\nPublic: OPTIONS,GET,HEAD\r\n"
              "Access-Control-Allow-Origin: *\r\nAccess-Control-Allow-Methods: POST, GET, "
              "OPTIONS\r\nAccess-Control-Allow-Headers: X-PINGOTHER, Content-Type\r\n"
              "Connection: close\r\nServer: TarvikWebServer\r\n\r\n");
}

TEST_F(ServerTest, RouterPostBodyAndVirtualPaths) {
    routedBody.clear();
    const std::string head = "POST /api/x HTTP/1.1\r\nContent-Length: 7\r\n\r\n";
    platform::SocketHandle s = platform::SocketOpenTcp();
    ASSERT_TRUE(platform::SocketConnect(s, platform::kIpv4Loopback, port));
    platform::SocketSend(s, head.data(), head.size());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    platform::SocketSend(s, "a=1&b=2", 7);
    std::string answer;
    char chunk[1024];
    int64_t n;
    while (platform::SocketWaitReadable(s, 3000) == 1 &&
           (n = platform::SocketReceive(s, chunk, sizeof chunk)) > 0)
        answer.append(chunk, static_cast<size_t>(n));
    platform::SocketClose(s);
    EXPECT_EQ(answer, "HTTP/1.1 200 OK\r\n\r\nrouted");
    EXPECT_EQ(routedBody, head + "a=1&b=2");

    const std::string tooLarge = Get("POST /api/x HTTP/1.1\r\nContent-Length: 5000\r\n\r\nabc");
    EXPECT_EQ(test::WithoutDate(tooLarge), "HTTP/1.1 413 Payload Too Large\r\nServer: "
                                           "TarvikWebServer\r\n\r\n" +
                                               ErrorPage(413, "Payload Too Large"));

    // GET asks the virtual roots, HEAD does not.
    virtualTarget = (tree.root / "docs" / "a.txt").string();
    EXPECT_EQ(test::Body(Get("GET /virt/a HTTP/1.1\r\n\r\n")), "aaa");
    EXPECT_EQ(Get("HEAD /virt/a HTTP/1.1\r\n\r\n").substr(0, 24), "HTTP/1.1 404 Not Found\r\n");
    EXPECT_EQ(test::Body(Get("GET /api/y HTTP/1.1\r\n\r\n")), "routed");
}

TEST_F(ServerTest, ClientsAreServedInParallel) {
    platform::SocketHandle idle = platform::SocketOpenTcp();
    ASSERT_TRUE(platform::SocketConnect(idle, platform::kIpv4Loopback, port));
    const auto start = Clock::now();
    EXPECT_EQ(test::Body(Get("GET /hello.txt HTTP/1.1\r\n\r\n")), "hello");
    EXPECT_LT(MsSince(start), 1000);
    const std::string request = "GET /docs/a.txt HTTP/1.1\r\n\r\n";
    platform::SocketSend(idle, request.data(), request.size());
    std::string answer;
    char chunk[1024];
    int64_t n;
    while (platform::SocketWaitReadable(idle, 3000) == 1 &&
           (n = platform::SocketReceive(idle, chunk, sizeof chunk)) > 0)
        answer.append(chunk, static_cast<size_t>(n));
    platform::SocketClose(idle);
    EXPECT_EQ(test::Body(answer), "aaa");
}

TEST_F(ServerTest, ClientKeepingItsConnectionIsCutOff) {
    platform::SocketHandle s = platform::SocketOpenTcp();
    ASSERT_TRUE(platform::SocketConnect(s, platform::kIpv4Loopback, port));
    const std::string request = "GET /hello.txt HTTP/1.1\r\n\r\n";
    platform::SocketSend(s, request.data(), request.size());
    char chunk[1024];
    int64_t n;
    while (platform::SocketWaitReadable(s, 3000) == 1 &&
           (n = platform::SocketReceive(s, chunk, sizeof chunk)) > 0) {
    }
    // The answer ended; the server still drains for a while, so what the
    // client sends is taken. Once it closed, a send is refused with a reset,
    // and the next send fails.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(platform::SocketSend(s, "x", 1), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(platform::SocketSend(s, "x", 1), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(900));
    EXPECT_EQ(platform::SocketSend(s, "y", 1), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(platform::SocketSend(s, "z", 1), -1);
    platform::SocketClose(s);
}

TEST_F(ServerTest, ClosingTheListenSocketStopsPromptly) {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const auto start = Clock::now();
    CloseListenSocket();
    server.join();
    EXPECT_LT(MsSince(start), 300);
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(ListeningPort(), 0);
}

std::vector<std::string> errLines;
void CollectErr(uint32_t, const char* line) {
    errLines.emplace_back(line);
}

TEST(ListenerStart, BindFailures) {
    SetServerDefaults();
    errLines.clear();
    rvSetErrSink(CollectErr);
    // Hold a port, then ask for it.
    platform::SocketHandle holder = platform::SocketOpenTcp();
    ASSERT_TRUE(platform::SocketBind(holder, 0, 0));
    ASSERT_TRUE(platform::SocketListen(holder, 1));
    const uint16_t taken = platform::SocketLocalPort(holder);
    std::atomic<int32_t> running{1};
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunServer(nullptr, taken, &running), -1);
    EXPECT_EQ(RunServer("127.0.0.1", taken, &running), -1);
    EXPECT_EQ(RunServer("300.1.1.1", taken, &running), -1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Critical: HTTPD: bind() failed with error 10048\n"
                   "Critical: HTTPD: bind() failed with error 10048 and 127.0.0.1\n");
    ASSERT_EQ(errLines.size(), 2u);
    EXPECT_EQ(errLines[0], "HTTPD: bind() failed with error 10048\n");
    platform::SocketClose(holder);
    rvSetErrSink(nullptr);
}

TEST(ListenerStart, LowPortMovesUpByAThousand) {
    SetServerDefaults();
    // A low port whose neighbour a thousand up is free; when this process may
    // bind low ports, the low one is held so that the bind fails anyway.
    uint16_t low = 0;
    platform::SocketHandle holder = platform::kInvalidSocket;
    for (uint16_t candidate = 901; candidate < 999 && low == 0; ++candidate) {
        platform::SocketHandle probe = platform::SocketOpenTcp();
        const bool highFree = platform::SocketBind(probe, platform::kIpv4Loopback,
                                                   static_cast<uint16_t>(candidate + 1000));
        platform::SocketClose(probe);
        if (!highFree)
            continue;
        holder = platform::SocketOpenTcp();
        if (platform::SocketBind(holder, 0, candidate))
            platform::SocketListen(holder, 1);
        else {
            platform::SocketClose(holder);
            holder = platform::kInvalidSocket;
        }
        low = candidate;
    }
    ASSERT_NE(low, 0);
    std::atomic<int32_t> running{1};
    int32_t result = 99;
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    std::thread server([&] { result = RunServer(nullptr, low, &running); });
    const auto start = Clock::now();
    while (ListeningPort() == 0 && MsSince(start) < 3000)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(ListeningPort(), low + 1000);
    CloseListenSocket();
    server.join();
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, 0);
    const int expectedError = holder != platform::kInvalidSocket ? platform::kSockErrAddressInUse
                                                                 : platform::kSockErrAccess;
    std::string expectedErr = "bind() failed: port error " + std::to_string(expectedError) + "\n";
    if (expectedError == platform::kSockErrAccess)
        expectedErr += "bind error == Permission denied.\n";
    EXPECT_EQ(err, expectedErr);
    EXPECT_EQ(out, "--- kxrHttpd2 Listening on port " + std::to_string(low + 1000) + " ---\n");
    if (holder != platform::kInvalidSocket)
        platform::SocketClose(holder);
}

} // namespace
} // namespace kxr::httpd

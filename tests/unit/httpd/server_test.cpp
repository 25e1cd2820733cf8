#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "httpd/connection.h"
#include "httpd/listener.h"
#include "httpd/response_head.h"
#include "httpd/server_settings.h"
#include "platform/kxr_file.h"
#include "platform/kxr_time.h"
#include "tests/support/err_log_capture.h"
#include "tests/support/net_test_util.h"

namespace kxr::httpd {
namespace {

// The answer without its Date line, which changes from second to second.
std::string WithoutDate(const std::string& answer) {
    const size_t date = answer.find("Date: ");
    if (date == std::string::npos)
        return answer;
    return answer.substr(0, date) + answer.substr(answer.find("\r\n", date) + 2);
}

// The whole answer for an error status, page included.
std::string ErrorAnswer(int code, const char* reason, const std::string& extra = "") {
    char page[512];
    std::snprintf(page, sizeof page,
                  "HTTP/1.1 %d %s\r\n%sServer: TarvikWebServer\r\n\r\n<HTML><HEAD><TITLE>HTTP %d "
                  "- %s</TITLE></HEAD><BODY><H1>HTTP %d - %s<H1><H3>TarvikWebServer</H3></BODY>"
                  "</HTML>",
                  code, reason, extra.c_str(), code, reason, code, reason);
    return page;
}

class OptionParserTest : public testing::Test {
protected:
    void SetUp() override { SetServerDefaults(); }
    void TearDown() override { SetServerDefaults(); }
    void Parse(std::vector<const char*> argv) {
        ParseServerOptions(static_cast<int>(argv.size()), argv.data());
    }
    kxrtest::ErrorLogCapture log;
    kxrtest::TempDir tree{"httpd"};
};

// The module passes a port, a root and an interface, nothing else.
TEST_F(OptionParserTest, PortRootAndInterfaceAndTheirErrors) {
    // The root loses its trailing backslash.
    const std::string root = tree.Path().string() + "\\";
    Parse({"-p", "81", "-r", root.c_str(), "-i", "127.0.0.1"});
    EXPECT_TRUE(log.Lines().empty());
    const ServerSettings& s = GetServerSettings();
    EXPECT_EQ(std::make_tuple(s.port, std::string(s.documentRoot), std::string(s.interface)),
              std::make_tuple(81u, tree.Path().string(), std::string("127.0.0.1")));

    const std::string file = (tree.Path() / "plain.txt").string();
    kxrtest::WriteFile(file, "x");
    const std::string tooLong = "/" + std::string(300, 'a');
    const std::pair<std::vector<const char*>, std::string> cases[] = {
        {{"-p", "70000"}, "Bad port \"70000\". Must be integer from 1 to 65535.\n"},
        {{"-r", file.c_str()}, "Invalid root \"" + file + "\". Must be a valid directory.\n"},
        {{"-r", tooLong.c_str()}, "Invalid root \"" + tooLong + "\". Must be a valid directory.\n"},
    };
    for (auto [argv, message] : cases) {
        SetServerDefaults();
        kxrtest::ErrorLogCapture caught;
        argv.insert(argv.end(), {"-i", "127.0.0.1"});
        Parse(argv);
        EXPECT_EQ(caught.Lines(), std::vector<std::string>{message});
        // Parsing stopped, and the rejected value changed nothing.
        EXPECT_TRUE(s.interface == nullptr && s.port == 80u &&
                    std::string(s.documentRoot) == kDefaultDocumentRoot)
            << argv[1];
    }
}

// The switches only a caller of the parser gives (the module gives none of
// them), and the usage text, to the byte.
TEST_F(OptionParserTest, OtherSwitchesAndTheUsageText) {
    Parse({"/p", "81", "--log", "x.log", "--nodirlist", "--noname", "--nolog", "-d", "home.htm"});
    const ServerSettings& s = GetServerSettings();
    EXPECT_EQ(std::make_tuple(s.port, std::string(s.logFileName), s.logEnabled, s.noDirList,
                              s.showServerName, std::string(s.defaultDocument)),
              std::make_tuple(81u, std::string("x.log"), 0, 1, 0, std::string("home.htm")));
    // A pending value is taken whatever it looks like.
    Parse({"-d", "--noname"});
    EXPECT_STREQ(s.defaultDocument, "--noname");
    Parse({"--nolog", "--ports", "--noname"});
    EXPECT_EQ(log.Lines(),
              std::vector<std::string>{
                  "Unknown parameter \"--ports\". Type \"--nolog --help\" for more info.\n"});
    EXPECT_EQ(
        ServerUsageText("kxr"),
        "Usage: kxr [options] (TarvikWebServer)\nOptions:\n"
        " -h, /?, --help           Display this information\n"
        " -p, --port <port>        Listen on port <port> (default 80)\n"
        " -i, --interface <ip>     Specify the interface the server listens on (default: ALL)\n"
        " -l, --log <file>         Save the log file as <file> (default: localwebsvr.log)\n"
        " --nolog                  Disables logging, overrides any '--log' setting\n"
        " -r, --root <path>        Specify the document root directory (default: "
        "C:\\Share\\inetpub)\n"
        " -d, --default <filename> Specify the default document filename in a directory "
        "(default: index.html)\n"
        " --nodirlist              Do not do any directory listings, just return a '404 File not "
        "found'\n"
        " --noname                 Do not specify server name in directory listings or HTTP "
        "headers\n");
    EXPECT_EXIT(Parse({"-p", "90", "--help"}), testing::ExitedWithCode(0), "");
}

namespace fs = std::filesystem;
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
        for (const auto& [name, text] : {std::pair<const char*, const char*>{"hello.txt", "hello"},
                                         {"index.html", "<p>home</p>"},
                                         {"docs/a.txt", "aaa"},
                                         {"list/z.bin", "z"},
                                         {"list/A&b c.txt", "a"}})
            ASSERT_TRUE(kxrtest::WriteFile(tree.Path() / name, text));
        fs::create_directories(tree.Path() / "list" / "sub");
        rootArg = tree.Path().string();
        const char* argv[] = {"-r", rootArg.c_str()};
        ParseServerOptions(2, argv);
        previous = fs::current_path();
        fs::current_path(tree.Path());
        SetRequestHooks(RequestHooks{TestRoute, TestCheckVirtual});
        running.store(1);
        server = std::thread([this] { RunServer(listenInterface, listenPort, &running); });
        const auto start = Clock::now();
        while (ListeningPort() == 0 && MsSince(start) < 3000)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        port = ListeningPort();
        ASSERT_NE(port, 0);
    }
    void TearDown() override {
        if (server.joinable()) {
            CloseListenSocket();
            StopListening();
            running.store(0);
            server.join();
        }
        SetRequestHooks(RequestHooks{nullptr, nullptr});
        fs::current_path(previous);
        SetServerDefaults();
    }
    std::string Get(const std::string& request) { return kxrtest::Exchange(port, request, 3000); }
    std::string Head(const std::string& request) { return WithoutDate(Get(request)); }
    std::string Modified(const char* name) {
        platform::FileStatus status;
        EXPECT_TRUE(platform::QueryFileStatus((tree.Path() / name).string().c_str(), &status));
        char date[64];
        FormatHttpDate(platform::UnixFromFileTime(status.lastWriteTime), date, sizeof date);
        return date;
    }
    // The head of a file answer; no Content-Length when length is negative.
    std::string FileHead(const char* name, const char* code, const std::string& range,
                         int64_t length, const char* type = "application/octet-stream") {
        return "HTTP/1.1 " + std::string(code) + "\r\nContent-Type: " + type +
               "\r\nLast-Modified: " + Modified(name) + "\r\nContent-Range: bytes " + range +
               "\r\n" + (length >= 0 ? "Content-Length: " + std::to_string(length) + "\r\n" : "") +
               "Server: TarvikWebServer\r\n\r\n";
    }

    // Where the server is asked to listen; any free port unless a test says.
    const char* listenInterface = nullptr;
    uint16_t listenPort = 0;
    kxrtest::TempDir tree{"httpd"};
    std::string rootArg;
    fs::path previous;
    std::atomic<int32_t> running{0};
    std::thread server;
    uint16_t port = 0;
};

TEST_F(ServerTest, FileHeadRangeAndNotModified) {
    const auto head = [this](const char* code, const char* range, int64_t length) {
        return FileHead("hello.txt", code, range, length, "text/plain");
    };
    const std::pair<std::string, std::string> rows[] = {
        {"GET /hello.txt HTTP/1.1\r\nHost: x\r\n\r\n", head("200 OK", "0-4/5", 5) + "hello"},
        {"HEAD /hello.txt HTTP/1.1\r\n\r\n", head("200 OK", "0-4/5", 5)},
        {"GET /hello.txt HTTP/1.1\r\nIf-Modified-Since: " + Modified("hello.txt") + "\r\n\r\n",
         head("304 Not Modified", "0-4/5", 5)},
        {"GET /hello.txt HTTP/1.1\r\nRange: bytes=9-\r\n\r\n",
         ErrorAnswer(416, "Requested Range Not Satisfiable", "Content-Type: text/plain\r\n")},
    };
    for (const auto& [request, expected] : rows)
        EXPECT_EQ(Head(request), expected) << request;
}

TEST_F(ServerTest, LargeFilesLeaveWholeWhicheverWayTheBytesTake) {
    // Past the first piece and past one copy buffer: the body leaves by the
    // system's zero-copy send, or is copied where that is refused.
    std::string big(300007, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>('a' + i * 7 % 26);
    ASSERT_TRUE(kxrtest::WriteFile(tree.Path() / "big.bin", big));
    const auto answer = [this](const char* code, const std::string& range, int64_t length) {
        return FileHead("big.bin", code, range + "/300007", length);
    };
    const std::pair<std::string, std::string> rows[] = {
        {"GET /big.bin HTTP/1.1\r\n\r\n", answer("200 OK", "0-300006", 300007) + big},
        {"HEAD /big.bin HTTP/1.1\r\nRange: bytes=5-\r\n\r\n",
         answer("206 Partial Content", "5-300006", 300002)},
        {"GET /big.bin HTTP/1.1\r\nRange: bytes=50000-60000\r\n\r\n",
         answer("206 Partial Content", "50000-60000", 10001) + big.substr(50000, 10001)},
        {"GET /big.bin HTTP/1.1\r\nRange: bytes=1000-\r\n\r\n",
         answer("206 Partial Content", "1000-300006", 299007) + big.substr(1000)},
        // An end before the start: no length, everything from the start on.
        {"GET /big.bin HTTP/1.1\r\nRange: bytes=7000-10\r\n\r\n",
         answer("206 Partial Content", "7000-10", -1) + big.substr(7000)},
    };
    for (const auto& [request, expected] : rows) {
        const std::string got = Head(request);
        EXPECT_EQ(got.size(), expected.size()) << request;
        EXPECT_TRUE(got == expected) << request << got.substr(0, 300);
    }
}

TEST_F(ServerTest, RootDocumentRedirectAndListing) {
    const std::string home = Get("GET / HTTP/1.1\r\n\r\n");
    EXPECT_EQ(home.substr(0, 42), "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n");
    EXPECT_EQ(kxrtest::Body(home), "<p>home</p>");
    EXPECT_EQ(kxrtest::Body(Get("GET /index.htm HTTP/1.1\r\n\r\n")), "<p>home</p>");
    EXPECT_EQ(Head("GET /docs HTTP/1.1\r\n\r\n"),
              ErrorAnswer(301, "Moved Permanently", "Location: /docs/\r\n"));
    // Names are escaped in links and text; folders end in a slash.
    const std::string head =
        "HTTP/1.1 201 Created\r\nContent-Type: text/html\r\nServer: TarvikWebServer\r\n\r\n";
    EXPECT_EQ(Head("GET /list/ HTTP/1.1\r\n\r\n"),
              head +
                  "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">\n<HTML><HEAD><TITLE>Index "
                  "of /list/</TITLE></HEAD><BODY><H1>Index of /list/</H1><PRE><HR>\n"
                  "<A href=\"/\">../</A>\n<A href=\"/list/A%26b%20c.txt\">A&amp;b c.txt</A>\n"
                  "<A href=\"/list/sub/\">sub/</A>\n<A href=\"/list/z.bin\">z.bin</A>\n"
                  "</PRE><HR><ADDRESS>TarvikWebServer Server Port 80</ADDRESS></BODY></HTML>");
    EXPECT_EQ(Head("HEAD /list/ HTTP/1.1\r\n\r\n"), head);
}

TEST_F(ServerTest, NoNameAndNoListingChangeTheAnswers) {
    const char* argv[] = {"--noname", "--nodirlist"};
    ParseServerOptions(2, argv);
    EXPECT_EQ(Head("GET /list/ HTTP/1.1\r\n\r\n"),
              "HTTP/1.1 404 Not Found\r\n\r\n<HTML><HEAD><TITLE>HTTP 404 - Not Found</TITLE></HEAD>"
              "<BODY><H1>HTTP 404 - Not Found<H1><H3></H3></BODY></HTML>");
}

TEST_F(ServerTest, RefusalsAndUnknownMethods) {
    // The confinement test tries the parent forms; this is the answer's bytes.
    EXPECT_EQ(Head("HEAD /../x HTTP/1.1\r\n\r\n"),
              "HTTP/1.1 403 Forbidden\r\nServer: TarvikWebServer\r\n\r\n");
    EXPECT_EQ(Head("GET /missing.txt HTTP/1.1\r\n\r\n"), ErrorAnswer(404, "Not Found"));
    EXPECT_EQ(Head("GET ?x HTTP/1.1\r\n\r\n"), ErrorAnswer(400, "Bad Request"));
    // A root and target too long for the full path are simply not found.
    const std::string longTarget = "/" + std::string(300, 'q') + ".txt";
    EXPECT_EQ(Get("GET " + longTarget + " HTTP/1.1\r\n\r\n").substr(0, 24),
              "HTTP/1.1 404 Not Found\r\n");

    const auto start = Clock::now();
    EXPECT_EQ(Get("BREW /pot HTTP/1.1\r\n\r\n"), "");
    EXPECT_EQ(Get("PUT /hello.txt HTTP/1.1\r\n\r\n"), "");
    EXPECT_LT(MsSince(start), 1800);

    EXPECT_EQ(Head("OPTIONS * HTTP/1.1\r\n\r\n"),
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
    EXPECT_EQ(kxrtest::ReceiveAll(s, 3000), "HTTP/1.1 200 OK\r\n\r\nrouted");
    platform::SocketClose(s);
    EXPECT_EQ(routedBody, head + "a=1&b=2");

    EXPECT_EQ(Head("POST /api/x HTTP/1.1\r\nContent-Length: 5000\r\n\r\nabc"),
              ErrorAnswer(413, "Payload Too Large"));

    // GET asks the virtual roots, HEAD does not.
    virtualTarget = (tree.Path() / "docs" / "a.txt").string();
    EXPECT_EQ(kxrtest::Body(Get("GET /virt/a HTTP/1.1\r\n\r\n")), "aaa");
    EXPECT_EQ(Get("HEAD /virt/a HTTP/1.1\r\n\r\n").substr(0, 24), "HTTP/1.1 404 Not Found\r\n");
    EXPECT_EQ(kxrtest::Body(Get("GET /api/y HTTP/1.1\r\n\r\n")), "routed");
}

// At 1000 and above a taken port is reported, not moved from; an interface
// that is not an address fails quietly.
TEST_F(ServerTest, ATakenPortIsReported) {
    kxrtest::ErrorLogCapture log;
    std::atomic<int32_t> again{1};
    EXPECT_EQ(RunServer(nullptr, port, &again), -1);
    EXPECT_EQ(RunServer("127.0.0.1", port, &again), -1);
    EXPECT_EQ(RunServer("300.1.1.1", port, &again), -1);
    // Windows reports a port that a socket holds exclusively as denied.
#ifdef _WIN32
    const std::string error = "10013";
#else
    const std::string error = "10048";
#endif
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               "HTTPD: bind() failed with error " + error + "\n",
                               "HTTPD: bind() failed with error " + error + " and 127.0.0.1\n"}));
}

} // namespace
} // namespace kxr::httpd

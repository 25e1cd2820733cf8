// Who may connect and who may do what, over real HTTP against a running
// kxr-host with libcurl as the client: the allow-list from 127.0.0.2 (loopback
// too), and users with their roles.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "access/password_hash.h"
#include "host_process.h"

namespace {

namespace fs = std::filesystem;
namespace ka = kxr::access;

// Every member has an initializer, so that a brace list may stop early.
struct Ask {
    std::string target;
    std::string method = "GET";     // GET, HEAD, OPTIONS or POST
    std::string from = "127.0.0.1"; // the client's own address
    std::string user{};             // no credentials when empty
    std::string password{};
    std::vector<std::string> headers{};
    std::string body{}; // for POST
};

struct Reply {
    CURLcode code = CURLE_FAILED_INIT;
    long status = 0;
    std::string head;
    std::string body;
};

size_t Collect(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

Reply Curl(uint16_t port, const Ask& ask) {
    Reply reply;
    CURL* curl = curl_easy_init();
    curl_slist* headers = nullptr;
    for (const std::string& header : ask.headers)
        headers = curl_slist_append(headers, header.c_str());
    // libcurl keeps its own copy of every text option.
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + ask.target;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_INTERFACE, ("host!" + ask.from).c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &Collect);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &reply.head);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
    if (!ask.user.empty()) {
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        curl_easy_setopt(curl, CURLOPT_USERPWD, (ask.user + ":" + ask.password).c_str());
    }
    if (ask.method == "HEAD")
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    else if (ask.method == "POST")
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, ask.body.c_str());
    else if (ask.method != "GET")
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, ask.method.c_str());
    reply.code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_easy_cleanup(curl);
    curl_slist_free_all(headers);
    return reply;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The server's usual error answer: its head lines and its error page.
void ExpectErrorPage(const Reply& reply, long status, const std::string& reason,
                     const std::string& what) {
    ASSERT_EQ(reply.code, CURLE_OK) << what << ": " << curl_easy_strerror(reply.code);
    EXPECT_EQ(reply.status, status) << what;
    EXPECT_TRUE(Has(reply.head, "\r\nServer: TarvikWebServer\r\n")) << what << "\n" << reply.head;
    EXPECT_TRUE(Has(reply.head, "\r\nDate: ")) << what;
    const std::string title = "HTTP " + std::to_string(status) + " - " + reason;
    EXPECT_TRUE(Has(reply.body, "<TITLE>" + title + "</TITLE>")) << what << "\n" << reply.body;
}

// libcurl around a suite, and the suite's own kxr-host when it starts one:
// a.txt in its document root and a clip in its record directory.
class CurlSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    static void TearDownTestSuite() {
        host_.reset();
        curl_global_cleanup();
    }
    void SetUp() override { ASSERT_TRUE(host_ == nullptr || started_) << host_->Failure(); }
    static void MakeHost() {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        host_ = std::make_unique<kxrit::HostProcess>();
        kxrtest::WriteFile(host_->Root() / "a.txt", "for readers\n");
        kxrtest::WriteFile(host_->Dir() / "media" / "clipone.mov", "not really a movie");
    }
    static Reply Send(const Ask& ask) { return Curl(host_->Port(), ask); }

    static inline std::unique_ptr<kxrit::HostProcess> host_;
    static inline bool started_ = false;
};

// Only 127.0.0.1 may connect; 127.0.0.2 is the same machine but not listed.
class AllowListHost : public CurlSuite {
protected:
    static void SetUpTestSuite() {
        MakeHost();
        started_ = host_->Start("", "AllowFrom = \"127.0.0.1, ::1\"\n");
    }
};

TEST_F(AllowListHost, AnAddressOutsideTheListGetsForbiddenAndNothingRuns) {
    EXPECT_EQ(Send({"/a.txt"}).body, "for readers\n");
    for (const char* target :
         {"/a.txt", "/", "/KXRXML/Status", "/vorn?request=x", "/KXRGetState?load=clipone&play"})
        ExpectErrorPage(Send({target, "GET", "127.0.0.2"}), 403, "Forbidden", target);
    // Neither a HEAD nor a POST reaches the router.
    EXPECT_EQ(Send({"/a.txt", "HEAD", "127.0.0.2"}).status, 403);
    ExpectErrorPage(Send({"/KXRGetState?play", "POST", "127.0.0.2", "", "", {}, "x=1"}), 403,
                    "Forbidden", "POST");
    // The refused load and play never reached the engine.
    EXPECT_EQ(Send({"/KXRGetState"}).body, "Stopped");
}

struct User {
    const char* name;
    const char* password;
    ka::Role role = ka::Role::Viewer;
};
constexpr User kViewer{"viewer1", "v-pass", ka::Role::Viewer};
constexpr User kOperator{"op", "o-pass", ka::Role::Operator};
constexpr User kAdmin{"boss", "a-pass", ka::Role::Admin};

// One host with three users, one of each role.
class UsersHost : public CurlSuite {
protected:
    static void SetUpTestSuite() {
        MakeHost();
        // A file root where MakeDir may make folders.
        std::filesystem::create_directories(host_->Dir() / "made");
        std::string users = "\n[KXR.NetServer.FileDirs]\nMade = '" +
                            (host_->Dir() / "made").string() + "'\n\n[KXR.NetServer.Users]\n";
        for (const User& user : {kViewer, kOperator, kAdmin}) {
            ka::PasswordEntry entry;
            if (!ka::MakePasswordEntry(user.role, user.password, ka::kMinIterations, &entry))
                return;
            users += ka::UserConfigLine(user.name, entry) + "\n";
        }
        started_ =
            host_->Start(users, "AccessLog = '" + (host_->Dir() / "access.log").string() + "'\n");
    }

    static Reply As(const User& user, const std::string& target,
                    std::vector<std::string> headers = {}, const std::string& body = "") {
        return Send({target, body.empty() ? "GET" : "POST", "127.0.0.1", user.name, user.password,
                     std::move(headers), body});
    }
    static std::string State() { return As(kViewer, "/KXRGetState").body; }
};

TEST_F(UsersHost, AnonymousClientsAndWrongPasswordsAreChallengedEverywhere) {
    for (const char* target : {"/a.txt", "/", "/KXRXML/Status", "/config?x", "/KXRGetState?play"}) {
        const Reply reply = Send({target});
        ExpectErrorPage(reply, 401, "Unauthorized", target);
        EXPECT_TRUE(Has(reply.head,
                        "\r\nWWW-Authenticate: Basic realm=\"kxrHTTPD2\", charset=\"UTF-8\"\r\n"))
            << reply.head;
    }
    for (const char* method : {"HEAD", "OPTIONS", "POST"}) {
        const Reply reply = Send({"/a.txt", method});
        EXPECT_EQ(reply.status, 401) << method;
        EXPECT_TRUE(Has(reply.head, "WWW-Authenticate: Basic")) << method;
    }
    for (const User& wrong : {User{"viewer1", "o-pass"}, User{"nobody", "v-pass"}})
        ExpectErrorPage(As(wrong, "/a.txt"), 401, "Unauthorized",
                        std::string(wrong.name) + ":" + wrong.password);
}

TEST_F(UsersHost, AViewerReadsButCannotDrive) {
    EXPECT_EQ(As(kViewer, "/a.txt").body, "for readers\n");
    for (const char* target : {"/KXRXML/Status?channel=1", "/KXRXML/MediaCmd?GetState&channel=1",
                               "/KXRMedia", "/KXRXML/NextDirEntry"})
        EXPECT_EQ(As(kViewer, target).status, 200) << target;
    const std::string before = State();
    for (const char* target :
         {"/KXRGetState?load=clipone&play", "/KXRGetState?setchannel=1", "/KXRMedia?PLAY",
          "/KXRXML/MediaCmd?Play&channel=0", "/KXRSetErrorLogClear", "/KXRXML/ErrorLogSave",
          "/KXRXML/MakeDir?\\Made\\by-viewer", "/config?x", "/vorn?request=x"})
        ExpectErrorPage(As(kViewer, target), 403, "Forbidden", target);
    // Controls carried where the dispatcher would find them: a header line
    // of a short target, and a body.
    ExpectErrorPage(As(kViewer, "/", {"Referer: http://127.0.0.1/KXRMedia?load=clipone&play"}), 403,
                    "Forbidden", "Referer");
    ExpectErrorPage(As(kViewer, "/KXR", {}, "KXRXML/MediaCmd?Play&channel=0"), 403, "Forbidden",
                    "POST body");
    EXPECT_EQ(State(), before);
    // Asked the way MakeDir would have named it.
    EXPECT_TRUE(Has(As(kViewer, "/KXRXML/FileInfo?\\Made\\by-viewer").body, "END OF LIST"));
}

// The combined line itself is HostAccessLog's (host_test.cpp).
TEST_F(UsersHost, TheAccessLogNamesTheUser) {
    EXPECT_EQ(As(kViewer, "/a.txt?logged").status, 200);
    // The log is written by a thread of its own: wait for the line.
    const std::regex line(" - viewer1 \\[[^\\]]+\\] \"GET /a.txt\\?logged HTTP/1.1\" 200 ");
    std::string log;
    for (int i = 0; i < 200 && !std::regex_search(log, line); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        log = kxrtest::ReadFile(host_->Dir() / "access.log");
    }
    EXPECT_TRUE(std::regex_search(log, line)) << log;
}

TEST_F(UsersHost, AnOperatorDrivesButCannotReachTheHost) {
    EXPECT_EQ(As(kOperator, "/KXRGetState?load=clipone").body, "Cued");
    EXPECT_EQ(As(kOperator, "/KXRGetState?play").body, "Playing");
    EXPECT_EQ(As(kOperator, "/KXRGetState?stop").body, "Stopped");
    EXPECT_EQ(As(kOperator, "/KXRXML/MakeDir?\\Made\\by-operator").status, 200);
    EXPECT_TRUE(
        Has(As(kOperator, "/KXRXML/FileInfo?\\Made\\by-operator").body, "IsDirectory=\"1\""));
    for (const char* target : {"/config?x", "/vorn?request=x", "/monitor/0"})
        ExpectErrorPage(As(kOperator, target), 403, "Forbidden", target);
}

TEST_F(UsersHost, AnAdminReachesTheHostWhichShowsRolesButNoHashes) {
    const Reply config = As(kAdmin, "/config?x");
    ASSERT_EQ(config.status, 200) << config.body;
    EXPECT_TRUE(Has(config.body, "\"Users\":{\"viewer1\":\"viewer\",\"op\":\"operator\","
                                 "\"boss\":\"admin\"}"))
        << config.body;
    EXPECT_FALSE(Has(config.body, "pbkdf2")) << config.body;
    EXPECT_EQ(As(kAdmin, "/KXRGetState?stop").status, 200);
}

TEST_F(UsersHost, FailedLoginsAreThrottledPerAddress) {
    // From an address of its own, so the other tests are not throttled.
    Ask guess{"/a.txt", "GET", "127.0.0.3", kOperator.name};
    for (int i = 0; i < 5; ++i) {
        guess.password = "guess" + std::to_string(i);
        EXPECT_EQ(Send(guess).status, 401) << i;
    }
    guess.password = kOperator.password;
    const Reply throttled = Send(guess);
    ExpectErrorPage(throttled, 429, "Too Many Requests", "after five failures");
    EXPECT_TRUE(
        std::regex_search(throttled.head, std::regex("\r\nRetry-After: ([1-9]|[1-5][0-9]|60)\r\n")))
        << throttled.head;
    // The same user from another address is not affected.
    EXPECT_EQ(As(kOperator, "/a.txt").status, 200);
}

} // namespace

// kxr-host is fed through a shell pipe, which Windows does not have.
#ifndef _WIN32
// kxr-host --hash-password, fed through a shell pipe (not registered on
// Windows, which has no /bin/sh): its line, pasted into a configuration,
// lets that user in with that password and that role.
class HashPasswordLine : public CurlSuite {
protected:
    // The exit code, with the output in *output.
    static int Run(const std::string& input, const std::string& arguments, std::string* output) {
        const kxrtest::TempDir dir("hashpw");
        const fs::path log = dir.Path() / "out.txt";
        const std::string command =
            "printf '" + input + "' | '" + KXR_HOST_EXECUTABLE + "' --hash-password " + arguments;
        const auto process =
            kxr::platform::ProcessSpawn({"/bin/sh", "-c", command}, log.string().c_str());
        int code = -1;
        if (process == kxr::platform::kNoProcess ||
            !kxr::platform::ProcessWait(process, 30000, &code))
            return -1;
        *output = kxrtest::ReadFile(log);
        return code;
    }
};

TEST_F(HashPasswordLine, PrintsALineThatLetsTheUserIn) {
    std::string line;
    ASSERT_EQ(Run("s3cret pass\\n", "cli-user operator", &line), 0) << line;
    const std::string prefix = "cli-user = \"operator:pbkdf2-sha256:310000:";
    ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
    // 16 bytes of salt and 32 of hash in base64, the closing quote, one line.
    EXPECT_EQ(line.size(), prefix.size() + 24 + 1 + 44 + 2) << line;
    EXPECT_EQ(line.substr(line.size() - 2), "\"\n") << line;

    kxrit::HostProcess host;
    ASSERT_TRUE(host.Start("\n[KXR.NetServer.Users]\n" + line)) << host.Failure();
    Ask ask{"/KXRGetState?stop", "GET", "127.0.0.1", "cli-user", "s3cret pass"};
    EXPECT_EQ(Curl(host.Port(), ask).status, 200);
    ask.password = "s3cret";
    EXPECT_EQ(Curl(host.Port(), ask).status, 401);
}

TEST_F(HashPasswordLine, RefusesWhatCouldNotLogIn) {
    // No such role; no password.
    for (const auto& [input, arguments] :
         {std::pair{"pw\\n", "cli-user root"}, {"\\n", "cli-user viewer"}}) {
        std::string output;
        EXPECT_EQ(Run(input, arguments, &output), 2) << arguments << ": " << output;
        EXPECT_EQ(output.find("pbkdf2"), std::string::npos) << output;
    }
}
#endif

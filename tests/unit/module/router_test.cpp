#include "module/router.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "kxr/rvutil.h"
#include "module/check_virtual.h"
#include "module/lifecycle.h"
#include "module/module_state.h"
#include "module_test_util.h"

namespace {

using kxr::Route;

// ---- producers a test can steer ----

struct Producers {
    int32_t callbackResult = -1;
    std::string callbackAnswer;
    bool callbackThrows = false;
    int callbackCalls = 0;
    int32_t dispatchResult = 0;
    std::string dispatchAnswer;
    bool dispatchThrowsAfterStoring = false;
    int dispatchCalls = 0;
};
Producers producers;

char* Block(const std::string& text) {
    char* block = static_cast<char*>(RVAlloc(text.size() + 1));
    std::memcpy(block, text.c_str(), text.size() + 1);
    return block;
}

int32_t FakeCallback(const char*, char** answerOut) {
    ++producers.callbackCalls;
    if (producers.callbackThrows) {
        throw std::runtime_error("callback failed");
    }
    if (producers.callbackResult > 0) {
        *answerOut = Block(producers.callbackAnswer);
    }
    return producers.callbackResult;
}

int32_t FakeDispatch(const char*, char** bodyOut, int32_t* lengthOut, kxr::CHttpRequest*) {
    ++producers.dispatchCalls;
    if (!producers.dispatchAnswer.empty()) {
        *bodyOut = Block(producers.dispatchAnswer);
        *lengthOut = static_cast<int32_t>(producers.dispatchAnswer.size());
    }
    if (producers.dispatchThrowsAfterStoring) {
        throw std::runtime_error("dispatcher failed");
    }
    return producers.dispatchResult;
}

class Router : public ::testing::Test {
protected:
    void SetUp() override {
        producers = Producers{};
        kxr::SetDispatchForTest(&FakeDispatch);
        kxr::SetHttpCallback(nullptr);
    }
    void TearDown() override {
        kxr::SetDispatchForTest(nullptr);
        kxr::SetHttpCallback(nullptr);
        kxr::ModuleSectionDelete();
    }
};

constexpr const char* kBaseHead = "HTTP/1.1 200 OK\r\nConnection: close\r\nCache-Control: "
                                  "no-cache\r\nContent-Length:%d\r\nServer: "
                                  "TarvikWebServer/7.0\r\n";

std::string ExpectedHead(int length, const std::string& typeLines) {
    char base[512];
    std::snprintf(base, sizeof base, kBaseHead, length);
    return std::string(base) + typeLines + "\r\n";
}

// ---- route selection ----

TEST(RouterRoutes, MarkersChooseTheRouteInTheirOrder) {
    struct Row {
        const char* text;
        bool callback;
        Route route;
    };
    const Row rows[] = {
        {"GET /vorn?request=a HTTP/1.1", true, Route::Relay},
        {"GET /tarvikcmd?x HTTP/1.1", true, Route::Relay},
        {"GET /config?a HTTP/1.1", true, Route::Config},
        {"GET /options?a HTTP/1.1", true, Route::Config},
        {"POST /descriptors?a HTTP/1.1", true, Route::Config},
        {"GET /webrtc/offer HTTP/1.1", true, Route::WebRtc},
        {"GET /monitor/0 HTTP/1.1", true, Route::Monitor},
        // A marker only in a header line still counts.
        {"GET /index.html HTTP/1.1\r\nReferer: http://h/monitor/x\r\n\r\n", true, Route::Monitor},
        // Relay wins over config, config over webrtc, webrtc over monitor.
        {"GET /config?x HTTP/1.1\r\nReferer: /vorn?request\r\n", true, Route::Relay},
        {"GET /webrtc HTTP/1.1\r\nReferer: /options?\r\n", true, Route::Config},
        {"GET /monitor/ HTTP/1.1\r\nReferer: /webrtc\r\n", true, Route::WebRtc},
        // Near misses.
        {"GET /vorn?req HTTP/1.1", true, Route::Dispatcher},
        {"GET /config HTTP/1.1", true, Route::Dispatcher},
        {"GET /monitor HTTP/1.1", true, Route::Dispatcher},
        // Without a callback every request goes to the dispatcher.
        {"GET /vorn?request=a HTTP/1.1", false, Route::Dispatcher},
        {"GET /monitor/0 HTTP/1.1", false, Route::Dispatcher},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(kxr::SelectRoute(row.text, row.callback), row.route) << row.text;
    }
}

// ---- content types ----

TEST(RouterContentTypes, FollowTheRouteThePathAndTheAnswer) {
    const std::string json = "Content-Type: application/json\r\n";
    const std::string xml = "Content-Type: application/xml; charset=uft-8\r\n";
    const std::string plain = "Content-Type: text/plain\r\n";
    struct Row {
        Route route;
        const char* text;
        const char* answer;
        std::string expected;
    };
    const Row rows[] = {
        {Route::Relay, "GET /vorn?request HTTP/1.1", "{\"a\":1}", json},
        {Route::Relay, "GET /vorn?request HTTP/1.1", "[1]", json},
        {Route::Relay, "GET /vorn?request HTTP/1.1", "<a/>", xml},
        {Route::Relay, "GET /vorn?request.png HTTP/1.1", "ok", xml},
        {Route::WebRtc, "GET /webrtc HTTP/1.1", "<html>", "Content-Type: text/html\r\n"},
        {Route::WebRtc, "GET /webrtc HTTP/1.1", "v=0", ""},
        {Route::Monitor, "GET /monitor/a.png HTTP/1.1", "<x",
         "Content-Type: application/octet-stream\r\nAccess-Control-Allow-Origin: *\r\n"},
        {Route::Dispatcher, "GET /KXRXML/Status HTTP/1.1", "1", xml},
        {Route::Dispatcher, "GET /x/a.xml HTTP/1.1", "1", xml},
        {Route::Dispatcher, "GET /KXRStatus HTTP/1.1", "<p>", xml},
        {Route::Dispatcher, "GET /p.gif HTTP/1.1", "1", "Content-Type: image/gif\r\n"},
        {Route::Dispatcher, "GET /p.bmp HTTP/1.1", "1", "Content-Type: image/bmp\r\n"},
        {Route::Dispatcher, "GET /p.png HTTP/1.1", "1", "Content-Type: image/png\r\n"},
        {Route::Dispatcher, "GET /p.jpg HTTP/1.1", "1", "Content-Type: image/jpeg\r\n"},
        {Route::Dispatcher, "GET /p.jpeg HTTP/1.1", "1", "Content-Type: image/jpeg\r\n"},
        {Route::Dispatcher, "GET /KXRMedia&mpreview HTTP/1.1", "1", "Content-Type: image/jpeg\r\n"},
        {Route::Dispatcher, "GET /p.tif HTTP/1.1", "1", "Content-Type: image/tiff\r\n"},
        {Route::Dispatcher, "GET /p.pdf HTTP/1.1", "1", "Content-Type: application/pdf\r\n"},
        {Route::Dispatcher, "GET /p.css HTTP/1.1", "1", "Content-Type: text/css\r\n"},
        {Route::Dispatcher, "GET /p.ico HTTP/1.1", "1", "Content-Type: image/x-icon\r\n"},
        {Route::Dispatcher, "GET /p.html HTTP/1.1", "1", "Content-Type: text/html\r\n"},
        {Route::Dispatcher, "GET /KXRValue HTTP/1.1", "12", plain},
        // The tests run in table order, not in the order of the text.
        {Route::Dispatcher, "GET /a.png?b.gif HTTP/1.1", "1", "Content-Type: image/gif\r\n"},
        {Route::Dispatcher, "GET /a.css?x.jpg HTTP/1.1", "1", "Content-Type: image/jpeg\r\n"},
        // Header lines count too.
        {Route::Dispatcher, "GET /KXRV HTTP/1.1\r\nReferer: /x.htm\r\n", "1",
         "Content-Type: text/html\r\n"},
        // The first five characters never count for the extensions.
        {Route::Dispatcher, ".png /KXR", "1", plain},
        {Route::Dispatcher, "POST /a.css HTTP/1.1", "1", "Content-Type: text/css\r\n"},
        {Route::Dispatcher, ".xml", "1", plain},
        // The config route follows the dispatcher's rules.
        {Route::Config, "GET /config?x.png HTTP/1.1", "{}", "Content-Type: image/png\r\n"},
        {Route::Config, "GET /config? HTTP/1.1", "{}", plain},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(kxr::RouterContentType(row.route, row.text, row.answer,
                                         static_cast<int32_t>(std::strlen(row.answer))),
                  row.expected)
            << row.text << " / " << row.answer;
    }
}

TEST(RouterHead, IsTheFixedHeadWithLengthAndType) {
    char head[kxr::kRouterHeadSize];
    const char* answer = "{\"request\":\"x\"}";
    const size_t n = kxr::BuildRouterHead(head, Route::Relay, "GET /vorn?request HTTP/1.1", answer,
                                          static_cast<int32_t>(std::strlen(answer)));
    const std::string expected = ExpectedHead(15, "Content-Type: application/json\r\n");
    EXPECT_EQ(std::string(head, n), expected);
    EXPECT_EQ(std::strlen(head), n);

    const size_t m =
        kxr::BuildRouterHead(head, Route::WebRtc, "GET /webrtc HTTP/1.1", "v=0", 1234567);
    EXPECT_EQ(std::string(head, m), ExpectedHead(1234567, ""));
}

// ---- producers ----

TEST_F(Router, RelayNotHandledByTheCallbackGoesToTheDispatcher) {
    kxr::SetHttpCallback(&FakeCallback);
    producers.callbackResult = -1;
    producers.dispatchAnswer = "[1,2]";
    producers.dispatchResult = 1;
    kxr::RoutedAnswer a = kxr::ProduceAnswer("GET /vorn?request=1 HTTP/1.1");
    EXPECT_EQ(a.route, Route::Relay);
    EXPECT_EQ(a.result, 1);
    EXPECT_EQ(a.length, 5);
    EXPECT_EQ(producers.callbackCalls, 1);
    EXPECT_EQ(producers.dispatchCalls, 1);
    RVFree(a.answer);
}

TEST_F(Router, CallbackResultsOnEachRoute) {
    kxr::SetHttpCallback(&FakeCallback);
    struct Row {
        const char* text;
        int32_t callbackResult;
        int32_t result;
        int32_t length;
        int dispatchCalls;
    };
    const Row rows[] = {
        {"GET /vorn?request HTTP/1.1", 0, 0, 0, 0}, {"GET /vorn?request HTTP/1.1", 3, 3, 3, 0},
        {"GET /config?a HTTP/1.1", -1, -1, 0, 0},   {"GET /config?a HTTP/1.1", 0, 0, 0, 0},
        {"GET /webrtc HTTP/1.1", -1, -1, 0, 0},     {"GET /monitor/ HTTP/1.1", 3, 3, 3, 0},
        {"GET /index.html HTTP/1.1", -1, 0, 0, 1},
    };
    for (const Row& row : rows) {
        producers = Producers{};
        producers.callbackResult = row.callbackResult;
        producers.callbackAnswer = "abc";
        kxr::RoutedAnswer a = kxr::ProduceAnswer(row.text);
        EXPECT_EQ(a.result, row.result) << row.text << " " << row.callbackResult;
        EXPECT_EQ(a.length, row.length) << row.text << " " << row.callbackResult;
        EXPECT_EQ(producers.dispatchCalls, row.dispatchCalls) << row.text;
        if (a.answer != nullptr) {
            RVFree(a.answer);
        }
    }
}

TEST_F(Router, WithoutCallbackTheRelayPathGoesToTheDispatcher) {
    producers.dispatchAnswer = "plain";
    producers.dispatchResult = 1;
    kxr::RoutedAnswer a = kxr::ProduceAnswer("GET /vorn?request HTTP/1.1");
    EXPECT_EQ(a.route, Route::Dispatcher);
    EXPECT_EQ(producers.dispatchCalls, 1);
    EXPECT_EQ(a.length, 5);
    RVFree(a.answer);
}

TEST_F(Router, ExceptionsEndTheProducerWithWhatItStored) {
    kxr::SetHttpCallback(&FakeCallback);
    producers.callbackThrows = true;
    kxr::RoutedAnswer a = kxr::ProduceAnswer("GET /monitor/ HTTP/1.1");
    EXPECT_EQ(a.result, 0);
    EXPECT_EQ(a.length, 0);
    EXPECT_EQ(a.answer, nullptr);

    producers = Producers{};
    producers.dispatchAnswer = "<kept/>";
    producers.dispatchThrowsAfterStoring = true;
    a = kxr::ProduceAnswer("GET /KXRXML/Status HTTP/1.1");
    EXPECT_EQ(a.result, 0);
    EXPECT_EQ(a.length, 7);
    ASSERT_NE(a.answer, nullptr);
    EXPECT_STREQ(a.answer, "<kept/>");
    RVFree(a.answer);
}

// ---- whole requests on a connection ----

struct Connection {
    kxrtest::SocketPair pair;
    ConnectionRecord record{};
    explicit Connection(const std::string& text) {
        EXPECT_TRUE(kxrtest::MakeSocketPair(&pair));
        std::snprintf(record.recvBuffer, sizeof record.recvBuffer, "%s", text.c_str());
        record.socket = pair.server;
    }
    // What the client received once the server side is closed.
    std::string Received() {
        kxr::platform::SocketClose(pair.server);
        pair.server = kxr::platform::kInvalidSocket;
        return kxrtest::ReceiveAll(pair.client);
    }
};

TEST_F(Router, SendsTheFixedHeadAndTheAnswer) {
    kxr::SetHttpCallback(&FakeCallback);
    producers.callbackResult = 16;
    producers.callbackAnswer = "{\"relay\":\"yes\"}";
    producers.callbackAnswer.resize(16, ' ');
    Connection c("GET /vorn?request=7 HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(kxr::kxrHttpdRequest(&c.record), 16);
    EXPECT_EQ(c.Received(),
              ExpectedHead(16, "Content-Type: application/json\r\n") + producers.callbackAnswer);
}

TEST_F(Router, DispatcherAnswersCarryTheirType) {
    struct Row {
        const char* text;
        const char* answer;
        std::string typeLines;
    };
    const Row rows[] = {
        {"GET /KXRPic.png HTTP/1.1", "PNGDATA", "Content-Type: image/png\r\n"},
        {"GET /KXRXML/MediaCmd&mpreview HTTP/1.1", "JPG",
         "Content-Type: application/xml; "
         "charset=uft-8\r\n"},
        {"GET /KXRMedia&mpreview HTTP/1.1", "JPG", "Content-Type: image/jpeg\r\n"},
        {"GET /KXRStatus HTTP/1.1", "<b>1</b>", "Content-Type: application/xml; charset=uft-8\r\n"},
    };
    for (const Row& row : rows) {
        producers = Producers{};
        producers.dispatchAnswer = row.answer;
        producers.dispatchResult = 1;
        Connection c(row.text);
        EXPECT_EQ(kxr::kxrHttpdRequest(&c.record), 1);
        EXPECT_EQ(c.Received(),
                  ExpectedHead(static_cast<int>(std::strlen(row.answer)), row.typeLines) +
                      row.answer)
            << row.text;
    }
}

TEST_F(Router, NothingIsSentWithoutAnAnswer) {
    kxr::SetHttpCallback(&FakeCallback);
    producers.callbackResult = 0;
    Connection config("GET /config?x HTTP/1.1\r\n\r\n");
    EXPECT_EQ(kxr::kxrHttpdRequest(&config.record), 0);
    EXPECT_EQ(config.Received(), "");

    producers.callbackResult = -1;
    Connection monitor("GET /monitor/ HTTP/1.1\r\n\r\n");
    EXPECT_EQ(kxr::kxrHttpdRequest(&monitor.record), -1);
    EXPECT_EQ(monitor.Received(), "");

    // The API object's own dispatcher answers no command word it does not know.
    kxr::SetDispatchForTest(nullptr);
    Connection api("GET /KXRXML/NoSuchWord HTTP/1.1\r\n\r\n");
    EXPECT_EQ(kxr::kxrHttpdRequest(&api.record), 0);
    EXPECT_EQ(api.Received(), "");
}

TEST_F(Router, AnEmptyRequestReachesNoProducer) {
    kxr::SetHttpCallback(&FakeCallback);
    Connection c("");
    EXPECT_EQ(kxr::kxrHttpdRequest(&c.record), 0);
    EXPECT_EQ(producers.callbackCalls, 0);
    EXPECT_EQ(producers.dispatchCalls, 0);
}

TEST_F(Router, HandleRequestReturnsTheLengthNotTheResult) {
    producers.dispatchAnswer = "hello";
    producers.dispatchResult = 9;
    char* answer = nullptr;
    EXPECT_EQ(kxr::kxrHttpdHandleRequest("KXRXML/Status", &answer), 5);
    ASSERT_NE(answer, nullptr);
    EXPECT_STREQ(answer, "hello");
    RVFree(answer);

    // The API object's own dispatcher answers no command word it does not know.
    kxr::SetDispatchForTest(nullptr);
    answer = nullptr;
    EXPECT_EQ(kxr::kxrHttpdHandleRequest("GET /KXRXML/NoSuchWord HTTP/1.1", &answer), 0);
    EXPECT_EQ(answer, nullptr);
}

// ---- the module-wide critical section ----

std::atomic<int> inside{0};
std::atomic<int> mostInside{0};

// Waits a little for a second producer to come in beside it.
void Overlap() {
    const int now = ++inside;
    int seen = mostInside.load();
    while (now > seen && !mostInside.compare_exchange_weak(seen, now)) {
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (inside.load() < 2 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    seen = mostInside.load();
    while (inside.load() > seen && !mostInside.compare_exchange_weak(seen, inside.load())) {
    }
    --inside;
}

int32_t OverlappingCallback(const char*, char**) {
    Overlap();
    return 0;
}

int32_t OverlappingDispatch(const char*, char**, int32_t*, kxr::CHttpRequest*) {
    Overlap();
    return 0;
}

int32_t OverlappingMapper(kxr::CMyHttpClient*, char*) {
    Overlap();
    return 0;
}

int MostProducersAtOnce() {
    inside = 0;
    mostInside = 0;
    std::vector<std::thread> threads;
    threads.emplace_back([] { kxr::ProduceAnswer("GET /monitor/ HTTP/1.1"); });
    threads.emplace_back([] { kxr::ProduceAnswer("GET /KXRStatus HTTP/1.1"); });
    threads.emplace_back([] {
        char path[64] = "\\Media\\a.mov";
        kxr::kxrCheckVirtual(path);
    });
    for (std::thread& t : threads) {
        t.join();
    }
    return mostInside.load();
}

TEST_F(Router, TheSectionSerialisesCallbackDispatcherAndPathCheck) {
    kxr::SetHttpCallback(&OverlappingCallback);
    kxr::SetDispatchForTest(&OverlappingDispatch);
    const kxr::VirtualPathOps saved = kxr::GetVirtualPathOps();
    kxr::SetVirtualPathOps(kxr::VirtualPathOps{nullptr, &OverlappingMapper});

    // Without the section the producers do overlap, so the check can fail.
    kxr::ModuleSectionDelete();
    EXPECT_GE(MostProducersAtOnce(), 2);

    kxr::kxrInit(nullptr);
    ASSERT_TRUE(kxr::ModuleSectionReady());
    EXPECT_EQ(MostProducersAtOnce(), 1);
    kxr::SetVirtualPathOps(saved);
}

TEST_F(Router, HandleRequestDoesNotTakeTheSection) {
    kxr::kxrInit(nullptr);
    producers.dispatchAnswer = "x";
    std::atomic<bool> release{false};
    std::atomic<bool> holding{false};
    std::thread holder([&] {
        kxr::ModuleSectionEnter();
        holding = true;
        while (!release.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        kxr::ModuleSectionLeave();
    });
    while (!holding.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::atomic<int32_t> length{-1};
    std::thread caller([&] {
        char* answer = nullptr;
        length = kxr::kxrHttpdHandleRequest("KXRXML/Status", &answer);
        RVFree(answer);
    });
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (length.load() < 0 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(length.load(), 1);
    release = true;
    holder.join();
    caller.join();
}

} // namespace

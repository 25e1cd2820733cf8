#include "module/router.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>

#include "binding/callback_slots.h"
#include "kxr/rvutil.h"
#include "module/check_virtual.h"
#include "module/lifecycle.h"
#include "module/module_state.h"

namespace {

using kxr::Route;
using Clock = std::chrono::steady_clock;

// ---- producers a test can steer ----

struct Producers {
    int32_t callbackResult = -1; // a result above 0 answers "abc"
    int32_t dispatchResult = 0;
    std::string dispatchAnswer;
    int dispatchCalls = 0;
};
Producers producers;

char* Block(const std::string& text) {
    return static_cast<char*>(std::memcpy(RVAlloc(text.size() + 1), text.c_str(), text.size() + 1));
}

int32_t FakeCallback(const char*, char** answerOut) {
    if (producers.callbackResult > 0)
        *answerOut = Block("abc");
    return producers.callbackResult;
}

int32_t FakeDispatch(const char*, char** bodyOut, int32_t* lengthOut, kxr::CHttpRequest*) {
    ++producers.dispatchCalls;
    if (!producers.dispatchAnswer.empty()) {
        *bodyOut = Block(producers.dispatchAnswer);
        *lengthOut = static_cast<int32_t>(producers.dispatchAnswer.size());
    }
    return producers.dispatchResult;
}

class Router : public ::testing::Test {
protected:
    void SetUp() override {
        producers = Producers{};
        kxr::SetDispatchForTest(&FakeDispatch);
        kxr::SetHttpCallback(&FakeCallback);
    }
    void TearDown() override {
        kxr::SetDispatchForTest(nullptr);
        kxr::SetHttpCallback(nullptr);
        kxr::ModuleSectionDelete();
    }
};

TEST(RouterRoutes, MarkersChooseTheRouteInTheirOrder) {
    const std::tuple<const char*, bool, Route> rows[] = {
        // A marker only in a header line still counts.
        {"GET /index.html HTTP/1.1\r\nReferer: http://h/monitor/x\r\n\r\n", true, Route::Monitor},
        // Relay wins over config, config over webrtc, webrtc over monitor.
        {"GET /config?x HTTP/1.1\r\nReferer: /vorn?request\r\n", true, Route::Relay},
        {"GET /webrtc HTTP/1.1\r\nReferer: /options?\r\n", true, Route::Config},
        {"GET /monitor/ HTTP/1.1\r\nReferer: /webrtc\r\n", true, Route::WebRtc},
        // Near misses.
        {"GET /vorn?req HTTP/1.1", true, Route::Dispatcher},
        {"GET /config HTTP/1.1", true, Route::Dispatcher},
        // Without a callback every request goes to the dispatcher.
        {"GET /vorn?request=a HTTP/1.1", false, Route::Dispatcher},
    };
    for (const auto& [text, callback, route] : rows)
        EXPECT_EQ(kxr::SelectRoute(text, callback), route) << text;
}

std::string Type(const char* type) {
    return "Content-Type: " + std::string(type) + "\r\n";
}

// The host test sees the common answers' types; these are the rules' orders.
TEST(RouterContentTypes, FollowTheRouteThePathAndTheAnswer) {
    const std::string xml = Type("application/xml; charset=uft-8");
    const std::string plain = Type("text/plain");
    const std::tuple<Route, const char*, const char*, std::string> rows[] = {
        {Route::Relay, "GET /vorn?request.png HTTP/1.1", "ok", xml},
        {Route::WebRtc, "GET /webrtc HTTP/1.1", "<html>", Type("text/html")},
        {Route::WebRtc, "GET /webrtc HTTP/1.1", "v=0", ""},
        {Route::Monitor, "GET /monitor/a.png HTTP/1.1", "<x",
         Type("application/octet-stream") + "Access-Control-Allow-Origin: *\r\n"},
        // Pages go out as HTML, whatever case their first word has; a page
        // from the relay or config routes keeps those routes' rules.
        {Route::Dispatcher, "GET /KXRXML/x HTTP/1.1", "<!doctype html>",
         Type("text/html; charset=iso-8859-1")},
        {Route::Dispatcher, "GET /KXRMedia HTTP/1.1", "<HTM", xml},
        {Route::Relay, "GET /vorn?request HTTP/1.1", "<HTML>", xml},
        {Route::Config, "GET /config? HTTP/1.1", "<html>", xml},
        {Route::Dispatcher, "GET /KXRXML/MediaCmd&mpreview HTTP/1.1", "1", xml},
        // The tests run in table order, not in the order of the text.
        {Route::Dispatcher, "GET /a.png?b.gif HTTP/1.1", "1", Type("image/gif")},
        // Header lines count too; the first five characters never count.
        {Route::Dispatcher, "GET /KXRV HTTP/1.1\r\nReferer: /x.htm\r\n", "1", Type("text/html")},
        {Route::Dispatcher, ".png /KXR", "1", plain},
        // The config route follows the dispatcher's rules.
        {Route::Config, "GET /config? HTTP/1.1", "{}", plain},
    };
    for (const auto& [route, text, answer, expected] : rows) {
        EXPECT_EQ(
            kxr::RouterContentType(route, text, answer, static_cast<int32_t>(std::strlen(answer))),
            expected)
            << text << " / " << answer;
    }
}

TEST_F(Router, CallbackResultsOnEachRoute) {
    // The text, the callback's result, then the result, length and dispatcher
    // calls that follow.
    const std::tuple<const char*, int32_t, int32_t, int32_t, int> rows[] = {
        {"GET /vorn?request HTTP/1.1", 0, 0, 0, 0},  {"GET /vorn?request HTTP/1.1", 3, 3, 3, 0},
        {"GET /vorn?request HTTP/1.1", -1, 7, 5, 1}, {"GET /config?a HTTP/1.1", -1, -1, 0, 0},
        {"GET /config?a HTTP/1.1", 0, 0, 0, 0},      {"GET /webrtc HTTP/1.1", -1, -1, 0, 0},
        {"GET /monitor/ HTTP/1.1", 3, 3, 3, 0},      {"GET /index.html HTTP/1.1", -1, 7, 5, 1},
    };
    for (const auto& [text, callbackResult, result, length, dispatchCalls] : rows) {
        producers = Producers{callbackResult, 7, "[1,2]", 0};
        kxr::RoutedAnswer a = kxr::ProduceAnswer(text);
        EXPECT_EQ(std::make_tuple(a.result, a.length, producers.dispatchCalls),
                  std::make_tuple(result, length, dispatchCalls))
            << text << " " << callbackResult;
        RVFree(a.answer);
    }
}

TEST_F(Router, ExceptionsEndTheProducerWithWhatItStored) {
    kxr::SetHttpCallback([](const char*, char**) -> int32_t { throw std::runtime_error("x"); });
    kxr::RoutedAnswer a = kxr::ProduceAnswer("GET /monitor/ HTTP/1.1");
    EXPECT_TRUE(a.result == 0 && a.length == 0 && a.answer == nullptr);

    kxr::SetDispatchForTest(
        [](const char*, char** body, int32_t* length, kxr::CHttpRequest*) -> int32_t {
            *body = Block("<kept/>");
            *length = 7;
            throw std::runtime_error("dispatcher failed");
        });
    a = kxr::ProduceAnswer("GET /KXRXML/Status HTTP/1.1");
    EXPECT_TRUE(a.result == 0 && a.length == 7);
    EXPECT_STREQ(a.answer, "<kept/>");
    RVFree(a.answer);
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
    const auto until = Clock::now() + std::chrono::milliseconds(500);
    while (inside.load() < 2 && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    --inside;
}

int MostProducersAtOnce() {
    inside = 0;
    mostInside = 0;
    std::thread monitor([] { kxr::ProduceAnswer("GET /monitor/ HTTP/1.1"); });
    std::thread status([] { kxr::ProduceAnswer("GET /KXRStatus HTTP/1.1"); });
    char path[64] = "\\Media\\a.mov";
    kxr::kxrCheckVirtual(path);
    monitor.join();
    status.join();
    return mostInside.load();
}

TEST_F(Router, TheSectionSerialisesCallbackDispatcherAndPathCheck) {
    kxr::SetHttpCallback([](const char*, char**) -> int32_t { return Overlap(), 0; });
    kxr::SetDispatchForTest(
        [](const char*, char**, int32_t*, kxr::CHttpRequest*) -> int32_t { return Overlap(), 0; });
    const kxr::VirtualPathOps saved = kxr::GetVirtualPathOps();
    kxr::SetVirtualPathOps(kxr::VirtualPathOps{
        nullptr, [](kxr::CMyHttpClient*, char*) -> int32_t { return Overlap(), 0; }});

    // Without the section the producers do overlap, so the check can fail.
    kxr::ModuleSectionDelete();
    EXPECT_GE(MostProducersAtOnce(), 2);

    kxr::kxrInit(nullptr);
    ASSERT_TRUE(kxr::ModuleSectionReady());
    EXPECT_EQ(MostProducersAtOnce(), 1);
    kxr::SetVirtualPathOps(saved);
}

// kxrHttpdHandleRequest answers the length, not the result, outside the section.
TEST_F(Router, HandleRequestDoesNotTakeTheSection) {
    kxr::kxrInit(nullptr);
    producers.dispatchAnswer = "hello";
    producers.dispatchResult = 9;
    kxr::ModuleSectionEnter();
    auto caller = std::async(std::launch::async, [] {
        char* answer = nullptr;
        const int32_t length = kxr::kxrHttpdHandleRequest("KXRXML/Status", &answer);
        EXPECT_STREQ(answer, "hello");
        RVFree(answer);
        return length;
    });
    const bool done = caller.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    kxr::ModuleSectionLeave();
    EXPECT_TRUE(done);
    EXPECT_EQ(caller.get(), 5);
}

} // namespace

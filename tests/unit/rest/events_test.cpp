// The event hub's edges that a client over HTTP cannot reach cheaply (resume
// from too far back or from another run, a slow client) and a stream's exact
// bytes and pacing on a sink. The HTTP test stops a host with streams open.
#include "rest/rest_events.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using kxr::rest::EventHub;
using kxr::rest::Subscription;
using namespace std::chrono_literals;

// What a subscription holds now, as one text.
std::string Take(Subscription& subscription, bool* ended = nullptr) {
    bool done = false;
    std::string text;
    for (const auto& frame : subscription.Wait(0, &done))
        text += *frame;
    if (ended != nullptr)
        *ended = done;
    return text;
}

std::string Frame(uint64_t id, const std::string& name, const std::string& data) {
    return "id: " + std::to_string(id) + "\nevent: " + name + "\ndata: " + data + "\n\n";
}

// Resuming from the history is seen over HTTP; an id it no longer holds or
// never held (another run) is not.
TEST(EventHub, AnUnknownIdStartsFromTheCurrentState) {
    EventHub hub(4, 16);
    hub.Open(8);
    hub.Publish("channel/0", "channel", "c0-1");
    hub.Publish("errors", "errors", "e-1");
    for (int i = 2; i <= 5; ++i)
        hub.Publish("channel/1", "channel", "c1-" + std::to_string(i)); // ids 3 to 6
    // The history holds ids 3 to 6: every key's latest event under the latest id.
    const std::string state =
        Frame(6, "channel", "c0-1") + Frame(6, "errors", "e-1") + Frame(6, "channel", "c1-5");
    for (const auto id : std::vector<std::optional<uint64_t>>{1, 7, std::nullopt})
        EXPECT_EQ(Take(*hub.Subscribe(id)), state) << id.value_or(0);
    EXPECT_EQ(Take(*hub.Subscribe(2)), Frame(3, "channel", "c1-2") + Frame(4, "channel", "c1-3") +
                                           Frame(5, "channel", "c1-4") +
                                           Frame(6, "channel", "c1-5"));
}

TEST(EventHub, ASlowStreamEndsAndCanResume) {
    EventHub hub(8, 3);
    hub.Open(4);
    auto slow = hub.Subscribe(std::nullopt);
    for (int i = 1; i <= 4; ++i)
        hub.Publish("k", "channel", std::to_string(i));
    bool ended = false;
    EXPECT_EQ(Take(*slow, &ended), "");
    EXPECT_TRUE(ended);
    hub.Publish("k", "channel", "5"); // nothing more reaches it
    EXPECT_EQ(Take(*slow, &ended), "");
    EXPECT_EQ(Take(*hub.Subscribe(2)),
              Frame(3, "channel", "3") + Frame(4, "channel", "4") + Frame(5, "channel", "5"));
}

// A sink that records what a stream sends (read once the stream ended), and
// can play a client that left.
struct RecordingSink : kxr::rest::StreamSink {
    bool Send(std::string_view bytes) override {
        return !refuse && (sent.emplace_back(bytes), true);
    }
    bool PeerClosed() override { return closed.load(); }
    std::vector<std::string> sent;
    bool refuse = false;
    std::atomic<bool> closed{false};
};

TEST(EventStream, SendsEventsAndKeepAlivesUntilTheClientLeavesOrASendFails) {
    EventHub hub(8, 16);
    hub.Open(4);
    hub.Publish("k", "channel", "1");
    auto subscription = hub.Subscribe(std::nullopt);
    RecordingSink sink;
    const kxr::rest::StreamTiming timing{150, 20};
    std::thread stream([&] { kxr::rest::RunEventStream(*subscription, sink, timing); });
    std::this_thread::sleep_for(60ms);
    hub.Publish("k", "channel", "2");
    std::this_thread::sleep_for(400ms);
    sink.closed = true;
    stream.join(); // ends within a check interval of the client leaving

    const std::vector<std::string>& sent = sink.sent;
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + 3),
              (std::vector<std::string>{"retry: 2000\n\n", Frame(1, "channel", "1"),
                                        Frame(2, "channel", "2")}));
    // About 400 ms of quiet at 150 ms each: two comment lines, maybe a third.
    const auto comments = std::count(sent.begin() + 3, sent.end(), ": keep-alive\n\n");
    EXPECT_EQ(static_cast<size_t>(comments), sent.size() - 3);
    EXPECT_TRUE(comments == 2 || comments == 3) << comments;

    // A send that fails ends the stream at once.
    RecordingSink gone;
    gone.refuse = true;
    kxr::rest::RunEventStream(*hub.Subscribe(std::nullopt), gone,
                              kxr::rest::StreamTiming{60000, 60000});
    EXPECT_TRUE(gone.sent.empty());
}

} // namespace

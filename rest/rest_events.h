// Pushed changes: one publisher thread samples the engine at most every
// 100 ms (and at once after a transport command of this face) and publishes
// what changed to an event hub; each open event stream (server-sent events)
// has its own bounded queue in the hub and is served by its connection's
// thread, which waits on that queue and never on the module's lock.
//
// Events carry increasing ids. The hub keeps the last kEventHistory of them,
// so a client that reconnects with Last-Event-ID gets every event it missed;
// one that asks from further back (or from no id) gets the current state
// instead: the latest event of every channel and of the error log.
#ifndef KXR_REST_REST_EVENTS_H
#define KXR_REST_REST_EVENTS_H

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "rest/rest_response.h"

namespace kxr::rest {

inline constexpr size_t kDefaultMaxEventStreams = 64;
inline constexpr size_t kEventHistory = 1024;
// Room for a whole replay of the history and what arrives while it is sent.
inline constexpr size_t kEventQueueLimit = kEventHistory + 256;
inline constexpr uint32_t kSampleIntervalMs = 100;

class EventHub;

// One open stream's place in the hub; leaving it (destroying it) frees the
// place and ends nothing else.
class Subscription {
public:
    ~Subscription();
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;

    // Waits until frames are queued, the stream must end, or timeoutMs pass.
    // Returns the queued frames (possibly none); *ended when the hub closed
    // or the queue overflowed (the client was too slow; it may resume).
    std::vector<std::shared_ptr<const std::string>> Wait(uint32_t timeoutMs, bool* ended);

private:
    friend class EventHub;
    explicit Subscription(EventHub* hub) : hub_(hub) {}

    EventHub* hub_;
    std::condition_variable wake_;
    std::deque<std::shared_ptr<const std::string>> queue_;
    bool ended_ = false;
};

class EventHub {
public:
    EventHub(size_t historyLimit, size_t queueLimit);

    // Publishes data as event name unless it equals the latest data published
    // under key; every key's latest event makes the current state. Returns
    // the event's id, or 0 when nothing changed.
    uint64_t Publish(const std::string& key, const std::string& name, const std::string& data);

    // Opens a stream: its queue starts with the events after lastEventId when
    // the history still holds them all, else with the current state. Null
    // when the hub is closed or cap streams are open.
    std::shared_ptr<Subscription> Subscribe(std::optional<uint64_t> lastEventId);

    // Opening allows cap streams at once; closing ends every open stream and
    // waits up to waitMs for their threads to leave them.
    void Open(size_t cap);
    void Close(uint32_t waitMs);

    size_t Cap() const;
    bool IsOpen() const;
    uint64_t LastId() const;

private:
    friend class Subscription;
    struct Latest {
        std::string key;
        std::string name;
        std::string data;
    };
    void Leave(Subscription* subscription);
    std::string Frame(uint64_t id, const std::string& name, const std::string& data) const;

    const size_t historyLimit_;
    const size_t queueLimit_;
    mutable std::mutex mutex_;
    std::condition_variable left_;
    std::vector<Subscription*> subscriptions_;
    std::deque<std::pair<uint64_t, std::shared_ptr<const std::string>>> history_;
    std::vector<Latest> latest_; // in the order keys were first published
    uint64_t lastId_ = 0;
    size_t cap_ = 0;
    bool open_ = false;
};

// The hub of the module's JSON face.
EventHub& TheEventHub();

// How a stream paces itself: a comment line after keepAliveMs without an
// event, a look at the connection every checkMs.
struct StreamTiming {
    uint32_t keepAliveMs = 15000;
    uint32_t checkMs = 1000;
};

// Serves a subscription on a sink until the hub ends it, the client leaves
// or a send fails.
void RunEventStream(Subscription& subscription, StreamSink& sink, const StreamTiming& timing);

// The JSON of every channel and of the error log, as events, under the
// module-wide critical section: the publisher's one sample.
void PublishSample(EventHub& hub);

// Starts the publisher and opens the hub for cap streams (kxrStart); stops
// the publisher and closes the hub (kxrQuit). Stop returns once the publisher
// has ended and every stream has left, or after waitMs for the streams.
void StartEvents(size_t cap);
void StopEvents(uint32_t waitMs);
// Asks the publisher for a sample now: a change was just made.
void SampleSoon();

} // namespace kxr::rest

#endif

#include "rest/rest_events.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "binding/engine_binding.h"
#include "rest/rest_channels.h"
#include "rest/rest_errors.h"
#include "rest/rest_handlers.h"
#include "rest/rest_section.h"

namespace kxr::rest {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kRetryLine = "retry: 2000\n\n";
constexpr const char* kKeepAlive = ": keep-alive\n\n";
constexpr uint32_t kRetryAfterSeconds = 5;
// A Last-Event-ID that is not a plain decimal id is ignored.
constexpr size_t kEventIdDigitsMax = 19;

// The publisher thread: samples every kSampleIntervalMs, or at once when
// asked.
struct Publisher {
    std::mutex mutex;
    std::condition_variable wake;
    std::thread thread;
    bool stopping = false;
    bool soon = false;
};

Publisher& ThePublisher() {
    static Publisher publisher;
    return publisher;
}

void PublisherMain(Publisher* publisher) {
    std::unique_lock<std::mutex> lock(publisher->mutex);
    while (!publisher->stopping) {
        lock.unlock();
        PublishSample(TheEventHub());
        lock.lock();
        publisher->wake.wait_for(lock, std::chrono::milliseconds(kSampleIntervalMs),
                                 [publisher] { return publisher->stopping || publisher->soon; });
        publisher->soon = false;
    }
}

} // namespace

Subscription::~Subscription() {
    hub_->Leave(this);
}

std::vector<std::shared_ptr<const std::string>> Subscription::Wait(uint32_t timeoutMs,
                                                                   bool* ended) {
    std::unique_lock<std::mutex> lock(hub_->mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                   [this] { return ended_ || !queue_.empty(); });
    *ended = ended_;
    std::vector<std::shared_ptr<const std::string>> frames(queue_.begin(), queue_.end());
    queue_.clear();
    return frames;
}

EventHub::EventHub(size_t historyLimit, size_t queueLimit)
    : historyLimit_(historyLimit), queueLimit_(queueLimit) {}

std::string EventHub::Frame(uint64_t id, const std::string& name, const std::string& data) const {
    return "id: " + std::to_string(id) + "\nevent: " + name + "\ndata: " + data + "\n\n";
}

uint64_t EventHub::Publish(const std::string& key, const std::string& name,
                           const std::string& data) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto latest = std::find_if(latest_.begin(), latest_.end(),
                               [&key](const Latest& entry) { return entry.key == key; });
    if (latest != latest_.end() && latest->name == name && latest->data == data)
        return 0;
    if (latest == latest_.end())
        latest_.push_back(Latest{key, name, data});
    else
        *latest = Latest{key, name, data};
    const uint64_t id = ++lastId_;
    auto frame = std::make_shared<const std::string>(Frame(id, name, data));
    history_.emplace_back(id, frame);
    if (history_.size() > historyLimit_)
        history_.pop_front();
    for (Subscription* subscription : subscriptions_) {
        if (subscription->ended_)
            continue;
        if (subscription->queue_.size() >= queueLimit_) {
            // Too slow a client: its stream ends, and it resumes from its
            // last id while the history still holds it.
            subscription->queue_.clear();
            subscription->ended_ = true;
        } else {
            subscription->queue_.push_back(frame);
        }
        subscription->wake_.notify_one();
    }
    return id;
}

std::shared_ptr<Subscription> EventHub::Subscribe(std::optional<uint64_t> lastEventId) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_ || subscriptions_.size() >= cap_)
        return nullptr;
    std::shared_ptr<Subscription> subscription(new Subscription(this));
    const bool inHistory =
        lastEventId.has_value() && *lastEventId <= lastId_ &&
        (history_.empty() ? *lastEventId == lastId_ : *lastEventId + 1 >= history_.front().first);
    if (inHistory) {
        for (const auto& [id, frame] : history_)
            if (id > *lastEventId)
                subscription->queue_.push_back(frame);
    } else {
        // The current state, under the id of the latest event: a client that
        // resumes from it misses nothing that came after.
        for (const Latest& entry : latest_)
            subscription->queue_.push_back(
                std::make_shared<const std::string>(Frame(lastId_, entry.name, entry.data)));
    }
    subscriptions_.push_back(subscription.get());
    return subscription;
}

void EventHub::Leave(Subscription* subscription) {
    std::lock_guard<std::mutex> lock(mutex_);
    subscriptions_.erase(std::remove(subscriptions_.begin(), subscriptions_.end(), subscription),
                         subscriptions_.end());
    left_.notify_all();
}

void EventHub::Open(size_t cap) {
    std::lock_guard<std::mutex> lock(mutex_);
    cap_ = cap;
    open_ = true;
}

void EventHub::Close(uint32_t waitMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    open_ = false;
    for (Subscription* subscription : subscriptions_) {
        subscription->ended_ = true;
        subscription->wake_.notify_one();
    }
    left_.wait_for(lock, std::chrono::milliseconds(waitMs),
                   [this] { return subscriptions_.empty(); });
}

size_t EventHub::Cap() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return cap_;
}

bool EventHub::IsOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

uint64_t EventHub::LastId() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastId_;
}

EventHub& TheEventHub() {
    static EventHub hub(kEventHistory, kEventQueueLimit);
    return hub;
}

void RunEventStream(Subscription& subscription, StreamSink& sink, const StreamTiming& timing) {
    if (!sink.Send(kRetryLine))
        return;
    auto lastSent = Clock::now();
    for (;;) {
        const auto quiet =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastSent);
        const uint32_t untilKeepAlive =
            quiet.count() >= timing.keepAliveMs
                ? 0
                : timing.keepAliveMs - static_cast<uint32_t>(quiet.count());
        bool ended = false;
        const auto frames = subscription.Wait(std::min(untilKeepAlive, timing.checkMs), &ended);
        if (ended)
            return;
        if (!frames.empty()) {
            std::string batch;
            for (const auto& frame : frames)
                batch += *frame;
            if (!sink.Send(batch))
                return;
            lastSent = Clock::now();
            continue;
        }
        if (Clock::now() - lastSent >= std::chrono::milliseconds(timing.keepAliveMs)) {
            if (!sink.Send(kKeepAlive))
                return;
            lastSent = Clock::now();
        }
        if (sink.PeerClosed())
            return;
    }
}

void PublishSample(EventHub& hub) {
    std::vector<std::pair<std::string, std::string>> channels;
    std::string errors;
    {
        SectionLock section;
        const uint32_t count = Engine().getChannelCount();
        for (uint32_t channel = 0; channel < count; ++channel)
            channels.emplace_back("channel/" + std::to_string(channel),
                                  Dump(ChannelJson(static_cast<int32_t>(channel))));
        errors = Dump(ErrorsEventJson());
    }
    for (const auto& [key, data] : channels)
        hub.Publish(key, "channel", data);
    hub.Publish("errors", "errors", errors);
}

void StartEvents(size_t cap) {
    Publisher& publisher = ThePublisher();
    std::lock_guard<std::mutex> lock(publisher.mutex);
    if (!publisher.thread.joinable()) {
        publisher.stopping = false;
        publisher.soon = false;
        publisher.thread = std::thread(PublisherMain, &publisher);
    }
    TheEventHub().Open(cap);
}

void StopEvents(uint32_t waitMs) {
    Publisher& publisher = ThePublisher();
    std::thread thread;
    {
        std::lock_guard<std::mutex> lock(publisher.mutex);
        publisher.stopping = true;
        thread.swap(publisher.thread);
    }
    publisher.wake.notify_one();
    if (thread.joinable())
        thread.join();
    TheEventHub().Close(waitMs);
}

void SampleSoon() {
    Publisher& publisher = ThePublisher();
    {
        std::lock_guard<std::mutex> lock(publisher.mutex);
        publisher.soon = true;
    }
    publisher.wake.notify_one();
}

Response HandleEvents(const Request& request, const Captures& /*captures*/) {
    Response response;
    response.contentType = "text/event-stream";
    if (request.headOnly) {
        response.stream = [](StreamSink&) {};
        return response;
    }
    EventHub& hub = TheEventHub();
    std::shared_ptr<Subscription> subscription =
        hub.Subscribe(ReadDigits(request.Header("Last-Event-ID"), kEventIdDigitsMax));
    if (subscription == nullptr) {
        Response refusal =
            Problem(503, hub.IsOpen() ? "All " + std::to_string(hub.Cap()) +
                                            " event streams are taken; try again later."
                                      : "The event stream is not running.");
        refusal.headers = "Retry-After: " + std::to_string(kRetryAfterSeconds) + "\r\n";
        return refusal;
    }
    response.stream = [subscription](StreamSink& sink) {
        RunEventStream(*subscription, sink, StreamTiming{});
    };
    return response;
}

} // namespace kxr::rest

#include "httpd/closer.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/kxr_readiness.h"
#include "platform/kxr_time.h"

namespace kxr::httpd {

namespace {

// How often silent connections are looked at, and how soon a stop is seen.
constexpr uint32_t kSweepMs = 100;
constexpr size_t kDrainChunk = 512;
// What the thread reads from one connection per wake, so that a client that
// floods cannot keep the others waiting.
constexpr size_t kScratchSize = 64 * 1024;
constexpr int kChunksPerWake = 4;

struct Closer {
    std::mutex mutex;
    std::vector<platform::SocketHandle> arrived; // guarded by mutex
    bool running = false;                        // guarded by mutex
    bool stopping = false;                       // guarded by mutex
    // Read without the lock: whether sockets are taken, and whether the
    // thread has anything to collect under it, so that most of its wakes and
    // the check before a hand-over take no lock.
    std::atomic<bool> taking{false};
    std::atomic<bool> pending{false};
    platform::ReadinessSet set = platform::kNoReadinessSet;
    std::thread thread;
};

Closer& TheCloser() {
    static Closer closer;
    return closer;
}

// Reads what the client sent, without waiting. True when the connection is
// finished: the client closed, or the socket failed.
bool Drain(platform::SocketHandle socket, char* scratch) {
    for (int i = 0; i < kChunksPerWake; ++i) {
        const int64_t got = platform::SocketReceiveNow(socket, scratch, kScratchSize);
        if (got > 0)
            continue;
        return got == 0 || platform::SocketLastError() != platform::kSockErrWouldBlock;
    }
    return false;
}

void CloserMain(Closer* closer) {
    // Each socket with the time its silence ends it.
    std::unordered_map<platform::SocketHandle, uint64_t> waiting;
    platform::SocketHandle ready[64];
    const std::unique_ptr<char[]> scratch(new char[kScratchSize]);
    uint64_t lastSweep = platform::MonotonicMs();
    for (;;) {
        const int n = platform::ReadinessSetWait(closer->set, ready, 64, kSweepMs);
        const uint64_t now = platform::MonotonicMs();
        if (closer->pending.load() || !closer->taking.load()) {
            std::lock_guard<std::mutex> lock(closer->mutex);
            for (const platform::SocketHandle socket : closer->arrived)
                waiting[socket] = now + kDrainWaitMs;
            closer->arrived.clear();
            closer->pending.store(false);
            if (closer->stopping)
                break;
        }
        for (int i = 0; i < n; ++i) {
            const auto it = waiting.find(ready[i]);
            if (it == waiting.end())
                continue;
            if (Drain(it->first, scratch.get())) {
                platform::SocketCloseFinished(it->first);
                waiting.erase(it);
            } else {
                it->second = now + kDrainWaitMs;
            }
        }
        if (now - lastSweep < kSweepMs)
            continue;
        lastSweep = now;
        for (auto it = waiting.begin(); it != waiting.end();) {
            if (now < it->second) {
                ++it;
                continue;
            }
            platform::SocketCloseFinished(it->first);
            it = waiting.erase(it);
        }
    }
    for (const auto& entry : waiting)
        platform::SocketCloseFinished(entry.first);
}

} // namespace

void DrainHere(platform::SocketHandle socket) {
    platform::SocketSetReceiveTimeout(socket, kDrainWaitMs);
    char scratch[kDrainChunk];
    while (platform::SocketReceive(socket, scratch, sizeof scratch) > 0) {
    }
}

bool StartCloser() {
    Closer& closer = TheCloser();
    std::lock_guard<std::mutex> lock(closer.mutex);
    if (closer.running)
        return true;
    closer.set = platform::ReadinessSetOpen();
    if (closer.set == platform::kNoReadinessSet)
        return false;
    closer.stopping = false;
    try {
        closer.thread = std::thread(CloserMain, &closer);
    } catch (const std::exception&) {
        platform::ReadinessSetClose(closer.set);
        closer.set = platform::kNoReadinessSet;
        return false;
    }
    closer.running = true;
    closer.taking.store(true);
    return true;
}

bool CloserRunning() {
    return TheCloser().taking.load();
}

bool HandOverForClose(platform::SocketHandle socket) {
    Closer& closer = TheCloser();
    std::lock_guard<std::mutex> lock(closer.mutex);
    // Watched and listed together under the lock: the thread meets no event
    // of a socket it does not know, and none arrives after it ended.
    if (!closer.running || closer.stopping || !platform::ReadinessSetAdd(closer.set, socket))
        return false;
    closer.arrived.push_back(socket);
    closer.pending.store(true);
    return true;
}

void StopCloser() {
    Closer& closer = TheCloser();
    {
        std::lock_guard<std::mutex> lock(closer.mutex);
        if (!closer.running)
            return;
        closer.stopping = true;
        closer.taking.store(false);
    }
    // It closes every socket it was given before it ends.
    closer.thread.join();
    std::lock_guard<std::mutex> lock(closer.mutex);
    platform::ReadinessSetClose(closer.set);
    closer.set = platform::kNoReadinessSet;
    closer.running = false;
}

} // namespace kxr::httpd

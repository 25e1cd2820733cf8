#include "httpd/connection_pool.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

#include "httpd/connection.h"
#include "httpd/connection_record.h"
#include "httpd/listener.h"
#include "httpd/response_head.h"
#include "httpd/server_settings.h"
#include "kxr/rvutil.h"
#include "platform/kxr_signal.h"
#include "platform/kxr_time.h"

namespace kxr::httpd {

namespace {

// What a refused connection may cost the accept loop.
constexpr uint32_t kRefusalWaitMs = 50;

// One live connection, as the stop and the head deadline see it. Its own
// lock, never contended but by a stop or an overdue head, keeps the pool's
// lock to the hand-over alone.
struct Slot {
    std::mutex mutex;
    platform::SocketHandle socket = platform::kInvalidSocket; // guarded by mutex
    std::atomic<uint64_t> headDeadlineMs{0};                  // 0: the head is complete

    // Shuts the socket down, if the connection still has one: its thread's
    // receive or send returns at once.
    void Wake() {
        std::lock_guard<std::mutex> lock(mutex);
        headDeadlineMs.store(0);
        if (socket != platform::kInvalidSocket)
            platform::SocketShutdownBoth(socket);
    }
};

// A thread of the pool. A parked one waits on its own lock for the
// connection the accept loop hands it, so that the hand-over wakes that one
// thread and the pool's lock is not taken again on the way.
struct Worker {
    std::thread thread;
    Slot slot;
    bool retired = false; // ended; to be joined (guarded by the pool's mutex)
    std::mutex mutex;
    std::condition_variable handed;
    ConnectionRecord* given = nullptr; // guarded by mutex
    bool leave = false;                // guarded by mutex: the stop began
};

struct Pool {
    std::mutex mutex;
    std::condition_variable ended; // a worker ended
    std::list<Worker> workers;
    // Parked workers, the one parked last on top: it takes the next
    // connection while its memory is still warm.
    std::vector<Worker*> parked;
    size_t busy = 0;
    bool stopping = false;
    std::atomic<bool> stopRequested{false};
    PoolLimits limits;
};

Pool& ThePool() {
    static Pool pool;
    return pool;
}

thread_local Slot* currentSlot = nullptr;

// Answers 503 on the accept loop's thread, briefly: the page fits the
// socket's buffer, and the client's request is read so that the close does
// not reset the answer away.
void Refuse(platform::SocketHandle socket, uint32_t address, uint16_t port) {
    auto* record = static_cast<ConnectionRecord*>(RVAlloc(sizeof(ConnectionRecord)));
    if (record != nullptr) {
        rvOSZeroMemory(record, sizeof(ConnectionRecord));
        record->socket = socket;
        record->clientAddr = address;
        record->clientPort = port;
        platform::SocketSetSendTimeout(socket, kRefusalWaitMs);
        ResetResponse(record);
        SetStatus(record, 503);
        char buffer[kSendBufferSize];
        BuildResponseHead(record, 0, buffer, sizeof buffer);
        RVFree(record);
    }
    platform::SocketShutdownSend(socket);
    if (platform::SocketWaitReadable(socket, kRefusalWaitMs) == 1) {
        char scratch[kRecvBufferSize];
        platform::SocketReceive(socket, scratch, sizeof scratch);
    }
    platform::SocketClose(socket);
}

void SetConnectionOptions(platform::SocketHandle socket, const PoolLimits& limits) {
    platform::SocketSetReceiveTimeout(socket, kRequestWaitMs);
    platform::SocketSetSendTimeout(socket, limits.sendTimeoutMs);
}

void Serve(Pool& pool, Worker& self, ConnectionRecord* record) {
    // Handed over as the stop began: closed unanswered.
    if (pool.stopRequested.load()) {
        platform::SocketClose(record->socket);
        RVFree(record);
        return;
    }
    const uint64_t deadline = platform::MonotonicMs() + pool.limits.headTimeoutMs;
    {
        std::lock_guard<std::mutex> lock(self.slot.mutex);
        self.slot.socket = record->socket;
        self.slot.headDeadlineMs.store(pool.limits.headTimeoutMs != 0 ? deadline : 0);
    }
    if (!platform::kAcceptInheritsOptions)
        SetConnectionOptions(record->socket, pool.limits);
    ConnectionThreadMain(record);
}

// The next connection for a parked worker; null when it should end: the
// stop began, or it idled and nobody chose it meanwhile.
ConnectionRecord* AwaitConnection(Pool& pool, Worker& self) {
    {
        std::unique_lock<std::mutex> lock(self.mutex);
        if (self.handed.wait_for(lock, std::chrono::milliseconds(pool.limits.idleMs),
                                 [&self] { return self.given != nullptr || self.leave; })) {
            ConnectionRecord* record = self.given;
            self.given = nullptr;
            return record;
        }
    }
    // Idle: leave the pool, unless the accept loop took this worker off the
    // stack just now; then its connection is on the way.
    {
        std::lock_guard<std::mutex> lock(pool.mutex);
        const auto it = std::find(pool.parked.begin(), pool.parked.end(), &self);
        if (it != pool.parked.end()) {
            pool.parked.erase(it);
            return nullptr;
        }
    }
    std::unique_lock<std::mutex> lock(self.mutex);
    self.handed.wait(lock, [&self] { return self.given != nullptr || self.leave; });
    ConnectionRecord* record = self.given;
    self.given = nullptr;
    return record;
}

void WorkerMain(Worker* self, ConnectionRecord* first) {
    Pool& pool = ThePool();
    currentSlot = &self->slot;
    // Zero-copy sends cannot ask for no SIGPIPE per call.
    platform::BlockBrokenPipeSignal();
    for (ConnectionRecord* record = first; record != nullptr;
         record = AwaitConnection(pool, *self)) {
        Serve(pool, *self, record);
        std::lock_guard<std::mutex> lock(pool.mutex);
        --pool.busy;
        if (pool.stopping)
            break;
        pool.parked.push_back(self);
    }
    std::lock_guard<std::mutex> lock(pool.mutex);
    self->retired = true;
    currentSlot = nullptr;
    pool.ended.notify_all();
}

// Joins the workers that ended; with the pool's mutex held.
void CollectRetired(Pool& pool, std::unique_lock<std::mutex>& lock) {
    for (auto it = pool.workers.begin(); it != pool.workers.end();) {
        if (!it->retired) {
            ++it;
            continue;
        }
        std::thread thread = std::move(it->thread);
        it = pool.workers.erase(it);
        lock.unlock();
        thread.join(); // it has only its return left
        lock.lock();
    }
}

} // namespace

void SetPoolLimits(const PoolLimits& limits) {
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> lock(pool.mutex);
    pool.limits = limits;
    if (pool.limits.maxConnections == 0)
        pool.limits.maxConnections = 1;
}

void OpenPool(platform::SocketHandle listening) {
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> lock(pool.mutex);
    pool.stopping = false;
    pool.stopRequested.store(false);
    if (platform::kAcceptInheritsOptions)
        SetConnectionOptions(listening, pool.limits);
}

PoolLimits GetPoolLimits() {
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> lock(pool.mutex);
    return pool.limits;
}

void DispatchConnection(platform::SocketHandle socket, uint32_t address, uint16_t port) {
    Pool& pool = ThePool();
    std::unique_lock<std::mutex> lock(pool.mutex);
    if (pool.stopping || pool.busy >= pool.limits.maxConnections) {
        lock.unlock();
        Refuse(socket, address, port);
        return;
    }
    auto* record = static_cast<ConnectionRecord*>(RVAlloc(sizeof(ConnectionRecord)));
    if (record == nullptr) {
        lock.unlock();
        platform::SocketClose(socket);
        return;
    }
    rvOSZeroMemory(record, sizeof(ConnectionRecord));
    record->socket = socket;
    record->clientAddr = address;
    record->clientPort = port;
    ++pool.busy;
    if (!pool.parked.empty()) {
        Worker* worker = pool.parked.back();
        pool.parked.pop_back();
        lock.unlock();
        {
            std::lock_guard<std::mutex> handing(worker->mutex);
            worker->given = record;
        }
        worker->handed.notify_one();
        return;
    }
    try {
        pool.workers.emplace_back();
        Worker& worker = pool.workers.back();
        worker.thread = std::thread(WorkerMain, &worker, record);
    } catch (const std::exception&) {
        // No thread: the connection is closed unanswered.
        pool.workers.pop_back();
        --pool.busy;
        lock.unlock();
        LogCritical("HTTPD: no thread for a connection");
        platform::SocketClose(socket);
        RVFree(record);
    }
}

void PoolHousekeeping() {
    Pool& pool = ThePool();
    const uint64_t now = platform::MonotonicMs();
    std::unique_lock<std::mutex> lock(pool.mutex);
    for (Worker& worker : pool.workers) {
        const uint64_t deadline = worker.slot.headDeadlineMs.load();
        // Its receive fails at once: the connection ends unanswered.
        if (deadline != 0 && now > deadline)
            worker.slot.Wake();
    }
    CollectRetired(pool, lock);
}

void MarkHeadComplete() {
    if (currentSlot != nullptr)
        currentSlot->headDeadlineMs.store(0, std::memory_order_relaxed);
}

void ForgetConnectionSocket() {
    if (currentSlot == nullptr)
        return;
    std::lock_guard<std::mutex> lock(currentSlot->mutex);
    currentSlot->socket = platform::kInvalidSocket;
    currentSlot->headDeadlineMs.store(0);
}

bool StopPool(uint32_t timeoutMs) {
    Pool& pool = ThePool();
    std::unique_lock<std::mutex> lock(pool.mutex);
    pool.stopping = true;
    pool.stopRequested.store(true);
    for (Worker& worker : pool.workers) {
        worker.slot.Wake();
        {
            std::lock_guard<std::mutex> leaving(worker.mutex);
            worker.leave = true;
        }
        worker.handed.notify_one();
    }
    pool.parked.clear();
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        CollectRetired(pool, lock);
        if (pool.workers.empty())
            return true;
        if (pool.ended.wait_until(lock, until) == std::cv_status::timeout) {
            CollectRetired(pool, lock);
            if (pool.workers.empty())
                return true;
            char text[128];
            std::snprintf(text, sizeof text, "HTTPD: %zu connection threads did not stop",
                          pool.workers.size());
            LogCritical("%s", text);
            ErrOut("%s", text);
            return false;
        }
    }
}

size_t PoolThreadCount() {
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> lock(pool.mutex);
    return pool.workers.size();
}

} // namespace kxr::httpd

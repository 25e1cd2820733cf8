// Threads with the exit-code rules hosts expect: a code of RV_STILL_ACTIVE
// while the thread runs, and a handle that still answers after it was closed.
#include "kxr/rvutil.h"

#include "platform/kxr_thread.h"
#include "platform/kxr_time.h"
#include "rv_handles.h"

#include <atomic>
#include <deque>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace {

struct ThreadRecord : rvutil::HandleObject {
    static constexpr rvutil::HandleKind kKind = rvutil::HandleKind::Thread;
    ThreadRecord() : HandleObject(kKind) {}

    RVThreadRoutine routine = nullptr;
    void* argument = nullptr;
    RVHANDLE handle = nullptr;
    // Written by the thread itself just before rvOSExitThread ends it.
    uint32_t pendingCode = 0;
    // Guarded by threadLock.
    uint32_t exitCode = RV_STILL_ACTIVE;
    bool finished = false;
    bool closed = false;
};

// A closed thread that has ended keeps only its exit code, and only the most
// recent ones are kept, so a server that starts a thread per connection does
// not grow without bound.
constexpr size_t kRetiredKept = 16384;

struct RetiredCodes {
    std::deque<RVHANDLE> order;
    std::unordered_map<RVHANDLE, uint32_t> codes;
};

std::mutex threadLock;
RetiredCodes& Retired() {
    static auto* retired = new RetiredCodes();
    return *retired;
}
std::atomic<uint32_t> nextThreadId{1};
thread_local ThreadRecord* currentThread = nullptr;

// Caller holds threadLock.
void Retire(ThreadRecord& record) {
    rvutil::ReleaseHandle(record.handle, rvutil::HandleKind::Thread);
    auto& retired = Retired();
    retired.order.push_back(record.handle);
    retired.codes[record.handle] = record.exitCode;
    while (retired.order.size() > kRetiredKept) {
        retired.codes.erase(retired.order.front());
        retired.order.pop_front();
    }
}

void Finish(ThreadRecord& record, uint32_t code) {
    std::lock_guard<std::mutex> lock(threadLock);
    record.exitCode = code;
    record.finished = true;
    if (record.closed)
        Retire(record);
}

// Runs as the guard's destructor, so an ending by rvOSExitThread (which
// unwinds the stack) records its code too.
struct FinishGuard {
    std::shared_ptr<ThreadRecord> record;
    ~FinishGuard() { Finish(*record, record->pendingCode); }
};

void ThreadMain(void* raw) {
    auto* holder = static_cast<std::shared_ptr<ThreadRecord>*>(raw);
    FinishGuard guard{std::move(*holder)};
    delete holder;
    currentThread = guard.record.get();
    guard.record->pendingCode = guard.record->routine(guard.record->argument);
    currentThread = nullptr;
}

} // namespace

extern "C" {

RVHANDLE rvOSCreateThread(void* /*security*/, uint32_t stackSize, RVThreadRoutine routine,
                          void* argument, uint32_t /*flags*/, uint32_t* threadIdOut,
                          const char* name) {
    if (routine == nullptr)
        return nullptr;
    auto record = std::make_shared<ThreadRecord>();
    record->routine = routine;
    record->argument = argument;
    record->handle = rvutil::RegisterHandle(record);
    if (record->handle == nullptr)
        return nullptr;
    const uint32_t id = nextThreadId.fetch_add(1);
    auto* holder = new std::shared_ptr<ThreadRecord>(record);
    if (!kxr::platform::ThreadSpawnDetached(ThreadMain, holder, stackSize, name)) {
        delete holder;
        rvutil::ReleaseHandle(record->handle, rvutil::HandleKind::Thread);
        return nullptr;
    }
    if (threadIdOut != nullptr)
        *threadIdOut = id;
    return record->handle;
}

int32_t rvOSCloseThread(RVHANDLE thread, const char* /*name*/) {
    auto record = rvutil::Lookup<ThreadRecord>(thread);
    if (!record)
        return 0;
    std::lock_guard<std::mutex> lock(threadLock);
    if (record->closed)
        return 0;
    record->closed = true;
    if (record->finished)
        Retire(*record);
    return 1;
}

void rvOSExitThread(uint32_t code) {
    if (currentThread != nullptr)
        currentThread->pendingCode = code;
    kxr::platform::ThreadExitCurrent();
}

int32_t rvOSGetExitCodeThread(RVHANDLE thread, uint32_t* codeOut, const char* /*name*/) {
    if (codeOut == nullptr)
        return 0;
    std::lock_guard<std::mutex> lock(threadLock);
    if (auto record = rvutil::Lookup<ThreadRecord>(thread)) {
        *codeOut = record->finished ? record->exitCode : RV_STILL_ACTIVE;
        return 1;
    }
    const auto& codes = Retired().codes;
    const auto it = codes.find(thread);
    if (it == codes.end())
        return 0;
    *codeOut = it->second;
    return 1;
}

void rvOSSleep(uint32_t milliseconds) {
    kxr::platform::SleepMs(milliseconds);
}

} // extern "C"

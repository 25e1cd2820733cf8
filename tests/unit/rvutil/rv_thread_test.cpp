#include "kxr/rvutil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

struct Gate {
    std::atomic<bool> open{false};
    std::atomic<bool> started{false};
    std::atomic<bool> unwound{false};
};

void WaitUntil(const std::atomic<bool>& flag) {
    for (int i = 0; i < 5000 && !flag.load(); ++i)
        rvOSSleep(1);
}

// Polls like a host waiting for a thread to end; 0 when it never did.
uint32_t AwaitExitCode(RVHANDLE thread) {
    uint32_t code = RV_STILL_ACTIVE;
    for (int i = 0; i < 5000; ++i) {
        if (rvOSGetExitCodeThread(thread, &code, "test") != 1)
            return 0;
        if (code != RV_STILL_ACTIVE)
            return code;
        rvOSSleep(1);
    }
    return 0;
}

uint32_t WaitThenReturn(void* argument) {
    auto* gate = static_cast<Gate*>(argument);
    gate->started = true;
    WaitUntil(gate->open);
    return 42;
}

struct Unwinder {
    Gate* gate;
    ~Unwinder() { gate->unwound = true; }
};

uint32_t ExitEarly(void* argument) {
    auto* gate = static_cast<Gate*>(argument);
    Unwinder guard{gate};
    gate->started = true;
    rvOSExitThread(7);
    return 99; // never reached
}

} // namespace

TEST(RvThread, ExitCodeIsStillActiveUntilTheRoutineReturns) {
    Gate gate;
    uint32_t id = 0;
    RVHANDLE thread = rvOSCreateThread(nullptr, 0, WaitThenReturn, &gate, 0, &id, "test::wait");
    ASSERT_NE(thread, nullptr);
    ASSERT_NE(thread, RV_INVALID_HANDLE);
    EXPECT_NE(id, 0u);
    WaitUntil(gate.started);
    uint32_t code = 0;
    ASSERT_EQ(rvOSGetExitCodeThread(thread, &code, "test"), 1);
    EXPECT_EQ(code, RV_STILL_ACTIVE);
    gate.open = true;
    EXPECT_EQ(AwaitExitCode(thread), 42u);
    EXPECT_EQ(rvOSCloseThread(thread, "test"), 1);
}

TEST(RvThread, ClosedHandleStillAnswersBeforeAndAfterTheEnd) {
    Gate gate;
    RVHANDLE thread = rvOSCreateThread(nullptr, 0, WaitThenReturn, &gate, 0, nullptr, "closed");
    ASSERT_NE(thread, nullptr);
    // Closed at once, as a server does with the threads it starts.
    EXPECT_EQ(rvOSCloseThread(thread, "closed"), 1);
    EXPECT_EQ(rvOSCloseThread(thread, "closed"), 0);
    uint32_t code = 0;
    ASSERT_EQ(rvOSGetExitCodeThread(thread, &code, "test"), 1);
    EXPECT_EQ(code, RV_STILL_ACTIVE);
    gate.open = true;
    EXPECT_EQ(AwaitExitCode(thread), 42u);
    // Asked again long after: the code stays.
    rvOSSleep(10);
    ASSERT_EQ(rvOSGetExitCodeThread(thread, &code, "test"), 1);
    EXPECT_EQ(code, 42u);
}

TEST(RvThread, ExitThreadEndsWithItsCodeAndUnwinds) {
    Gate gate;
    RVHANDLE thread = rvOSCreateThread(nullptr, 0, ExitEarly, &gate, 0, nullptr, "exit");
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(AwaitExitCode(thread), 7u);
    EXPECT_TRUE(gate.unwound.load());
    EXPECT_EQ(rvOSCloseThread(thread, "exit"), 1);
    uint32_t code = 0;
    ASSERT_EQ(rvOSGetExitCodeThread(thread, &code, "test"), 1);
    EXPECT_EQ(code, 7u);
}

TEST(RvThread, UnknownHandlesAreRefused) {
    uint32_t code = 5;
    int local = 0;
    EXPECT_EQ(rvOSGetExitCodeThread(nullptr, &code, "test"), 0);
    EXPECT_EQ(rvOSGetExitCodeThread(&local, &code, "test"), 0);
    EXPECT_EQ(rvOSGetExitCodeThread(RV_INVALID_HANDLE, &code, "test"), 0);
    EXPECT_EQ(code, 5u);
    EXPECT_EQ(rvOSCloseThread(&local, "test"), 0);
    EXPECT_EQ(rvOSCreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr, "none"), nullptr);
}

TEST(RvThread, ManyShortThreadsEachKeepTheirOwnCode) {
    struct Job {
        static uint32_t Run(void* argument) { return *static_cast<uint32_t*>(argument); }
    };
    std::vector<uint32_t> values(64);
    std::vector<RVHANDLE> handles;
    std::vector<uint32_t> ids;
    for (uint32_t i = 0; i < values.size(); ++i) {
        values[i] = 1000 + i;
        uint32_t id = 0;
        handles.push_back(rvOSCreateThread(nullptr, 0, Job::Run, &values[i], 0, &id, "web"));
        ASSERT_NE(handles.back(), nullptr);
        ids.push_back(id);
        if (i % 2 == 0)
            rvOSCloseThread(handles.back(), "web");
    }
    for (size_t i = 0; i < handles.size(); ++i) {
        EXPECT_EQ(AwaitExitCode(handles[i]), 1000 + i) << i;
        for (size_t j = 0; j < i; ++j)
            ASSERT_NE(ids[i], ids[j]);
    }
    for (size_t i = 1; i < handles.size(); i += 2)
        EXPECT_EQ(rvOSCloseThread(handles[i], "web"), 1);
}

TEST(RvCriticalSection, IsRecursiveAndExcludesOtherThreads) {
    RVCriticalSection section{};
    rvOSInitializeCriticalSection(&section);
    ASSERT_NE(section.impl, nullptr);

    rvOSEnterCriticalSection(&section);
    rvOSEnterCriticalSection(&section); // the owner may enter again
    std::atomic<bool> entered{false};
    std::thread other([&] {
        rvOSEnterCriticalSection(&section);
        entered = true;
        rvOSLeaveCriticalSection(&section);
    });
    rvOSSleep(30);
    rvOSLeaveCriticalSection(&section);
    rvOSSleep(30);
    EXPECT_FALSE(entered.load()); // still held once
    rvOSLeaveCriticalSection(&section);
    other.join();
    EXPECT_TRUE(entered.load());

    int counter = 0;
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                rvOSEnterCriticalSection(&section);
                ++counter;
                rvOSLeaveCriticalSection(&section);
            }
        });
    }
    for (auto& w : workers)
        w.join();
    EXPECT_EQ(counter, 40000);

    rvOSDeleteCriticalSection(&section);
    EXPECT_EQ(section.impl, nullptr);
    // A deleted section is simply not used.
    rvOSEnterCriticalSection(&section);
    rvOSLeaveCriticalSection(&section);
}

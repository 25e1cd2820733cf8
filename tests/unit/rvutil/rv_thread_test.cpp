#include "kxr/rvutil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

namespace {

std::atomic<bool> gateOpen{false};
std::atomic<int> unwound{0};

void WaitUntil(const std::atomic<bool>& flag) {
    for (int i = 0; i < 5000 && !flag.load(); ++i)
        rvOSSleep(1);
}

// Polls like a host waiting for a thread to end; 0 when it never did.
uint32_t AwaitExitCode(RVHANDLE thread) {
    uint32_t code = RV_STILL_ACTIVE;
    for (int i = 0; i < 5000 && code == RV_STILL_ACTIVE; ++i) {
        if (rvOSGetExitCodeThread(thread, &code, "test") != 1)
            return 0;
        rvOSSleep(code == RV_STILL_ACTIVE ? 1 : 0);
    }
    return code == RV_STILL_ACTIVE ? 0 : code;
}

uint32_t WaitThenReturn(void*) {
    WaitUntil(gateOpen);
    return 42;
}

struct Unwinder {
    ~Unwinder() { ++unwound; }
};

// Odd codes leave through rvOSExitThread, which must still unwind the stack.
uint32_t Finish(void* argument) {
    const uint32_t code = *static_cast<uint32_t*>(argument);
    Unwinder guard;
    if (code % 2 != 0)
        rvOSExitThread(code);
    return code;
}

} // namespace

TEST(RvThread, ExitCodeIsStillActiveUntilTheEndEvenAfterClose) {
    for (bool closeFirst : {false, true}) {
        gateOpen = false;
        uint32_t id = 0, code = 0;
        RVHANDLE thread = rvOSCreateThread(nullptr, 0, WaitThenReturn, nullptr, 0, &id, "wait");
        ASSERT_NE(thread, nullptr);
        if (closeFirst) { // as a server does with the threads it starts
            EXPECT_EQ(rvOSCloseThread(thread, "wait"), 1);
        }
        ASSERT_EQ(rvOSGetExitCodeThread(thread, &code, "test"), 1);
        EXPECT_EQ(code, RV_STILL_ACTIVE);
        gateOpen = true;
        EXPECT_EQ(AwaitExitCode(thread), 42u);
        rvOSSleep(10); // asked again long after: the code stays
        EXPECT_EQ(AwaitExitCode(thread), 42u);
        EXPECT_EQ(rvOSCloseThread(thread, "wait"), closeFirst ? 0 : 1);
    }
}

// With the default stack and a given one; names longer than the system keeps.
TEST(RvThread, ManyThreadsReturnOrExitWithTheirOwnCodeAndId) {
    std::vector<uint32_t> values(64), ids(64);
    std::vector<RVHANDLE> handles;
    for (uint32_t i = 0; i < values.size(); ++i) {
        values[i] = 1000 + i;
        handles.push_back(rvOSCreateThread(nullptr, i % 3 == 0 ? 256 * 1024 : 0, Finish, &values[i],
                                           0, &ids[i], "worker::runner-with-a-long-name"));
        ASSERT_NE(handles.back(), nullptr);
        if (i % 2 == 0)
            rvOSCloseThread(handles.back(), "w");
    }
    for (size_t i = 0; i < handles.size(); ++i) {
        EXPECT_EQ(AwaitExitCode(handles[i]), 1000 + i) << i;
        for (size_t j = 0; j < i; ++j)
            ASSERT_NE(ids[i], ids[j]);
    }
    EXPECT_EQ(unwound.load(), 64);
    for (size_t i = 1; i < handles.size(); i += 2)
        EXPECT_EQ(rvOSCloseThread(handles[i], "w"), 1);
    uint32_t code = 5;
    int local = 0; // handles that are no threads
    for (RVHANDLE handle : {static_cast<RVHANDLE>(&local), RV_INVALID_HANDLE, RVHANDLE{}}) {
        EXPECT_EQ(rvOSCloseThread(handle, "w"), 0);
        EXPECT_EQ(rvOSGetExitCodeThread(handle, &code, "test"), 0);
    }
    EXPECT_EQ(rvOSCreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr, "none"), nullptr);
}

// A thread that is let go, not joined, when the test ends early: a broken
// lock then fails the test instead of hanging it. It holds the scene, which
// it therefore never outlives.
struct SceneThread {
    std::thread thread;
    ~SceneThread() {
        if (thread.joinable())
            thread.detach();
    }
};

TEST(RvCriticalSection, OwnerEntersTwiceAndOthersWaitUntilItLeftTwice) {
    using namespace std::chrono_literals;
    // 10 s: long enough for any thread to get going, a correct lock never waits it out;
    // 100 ms: how long the other thread is given to get in where it must not.
    struct Scene {
        RVCriticalSection section{};
        std::promise<void> ownerIn, leaveOnce, leftOnce, leaveAgain, otherTrying, otherIn;
    };
    auto scene = std::make_shared<Scene>();
    rvOSInitializeCriticalSection(&scene->section);
    ASSERT_NE(scene->section.impl, nullptr);
    std::future<void> ownerIn = scene->ownerIn.get_future(),
                      leftOnce = scene->leftOnce.get_future(),
                      otherTrying = scene->otherTrying.get_future(),
                      otherIn = scene->otherIn.get_future();
    SceneThread owner{std::thread([scene] {
        rvOSEnterCriticalSection(&scene->section);
        rvOSEnterCriticalSection(&scene->section);
        scene->ownerIn.set_value();
        scene->leaveOnce.get_future().wait();
        rvOSLeaveCriticalSection(&scene->section);
        scene->leftOnce.set_value();
        scene->leaveAgain.get_future().wait();
        rvOSLeaveCriticalSection(&scene->section);
    })};
    ASSERT_EQ(ownerIn.wait_for(10s), std::future_status::ready)
        << "the owner's second enter never returned";
    SceneThread other{std::thread([scene] {
        scene->otherTrying.set_value();
        rvOSEnterCriticalSection(&scene->section);
        scene->otherIn.set_value();
        rvOSLeaveCriticalSection(&scene->section);
    })};
    ASSERT_EQ(otherTrying.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(otherIn.wait_for(100ms), std::future_status::timeout)
        << "got in while the owner had entered twice";
    scene->leaveOnce.set_value();
    ASSERT_EQ(leftOnce.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(otherIn.wait_for(100ms), std::future_status::timeout)
        << "got in while the owner was still in once";
    scene->leaveAgain.set_value();
    ASSERT_EQ(otherIn.wait_for(10s), std::future_status::ready)
        << "still kept out after the owner left twice";
    owner.thread.join();
    other.thread.join();
    rvOSDeleteCriticalSection(&scene->section);
    EXPECT_EQ(scene->section.impl, nullptr);
}

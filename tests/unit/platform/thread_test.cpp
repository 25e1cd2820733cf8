#include "platform/kxr_thread.h"
#include "platform/kxr_time.h"

#include <gtest/gtest.h>

#include <atomic>

namespace kp = kxr::platform;

namespace {

struct Shared {
    std::atomic<int> state{0};
    std::atomic<uint32_t> id{0};
    std::atomic<bool> destroyed{false};
};

bool WaitFor(const std::atomic<int>& value, int wanted) {
    const uint64_t start = kp::MonotonicMs();
    while (value.load() != wanted) {
        if (kp::MonotonicMs() - start > 5000)
            return false;
        kp::SleepMs(1);
    }
    return true;
}

struct MarkOnDestruction {
    Shared* shared;
    ~MarkOnDestruction() { shared->destroyed = true; }
};

} // namespace

TEST(PlatformThread, SpawnedThreadRuns) {
    Shared shared;
    ASSERT_TRUE(kp::ThreadSpawnDetached(
        [](void* p) {
            auto* s = static_cast<Shared*>(p);
            s->id = kp::ThreadCurrentId();
            s->state = 1;
        },
        &shared, 0, "worker::runner-with-a-long-name"));
    ASSERT_TRUE(WaitFor(shared.state, 1));
    EXPECT_NE(shared.id.load(), 0u);
    EXPECT_NE(shared.id.load(), kp::ThreadCurrentId());
}

TEST(PlatformThread, ExitEndsTheThreadAndUnwindsItsStack) {
    Shared shared;
    ASSERT_TRUE(kp::ThreadSpawnDetached(
        [](void* p) {
            auto* s = static_cast<Shared*>(p);
            {
                MarkOnDestruction guard{s};
                s->state = 1;
                kp::ThreadExitCurrent();
            }
            s->state = 2; // never reached
        },
        &shared, 256 * 1024, nullptr));
    ASSERT_TRUE(WaitFor(shared.state, 1));
    const uint64_t start = kp::MonotonicMs();
    while (!shared.destroyed && kp::MonotonicMs() - start < 5000)
        kp::SleepMs(1);
    EXPECT_TRUE(shared.destroyed.load());
    kp::SleepMs(20);
    EXPECT_EQ(shared.state.load(), 1);
}

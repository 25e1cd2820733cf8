#include "platform/kxr_thread.h"
#include "platform/kxr_time.h"

#include <gtest/gtest.h>

#include <atomic>
#include <utility>

namespace kp = kxr::platform;

namespace {

struct Shared {
    std::atomic<int> state{0};
    std::atomic<uint32_t> id{0};
    std::atomic<bool> destroyed{false};
};

struct MarkOnDestruction {
    Shared* shared;
    ~MarkOnDestruction() { shared->destroyed = true; }
};

} // namespace

// The thread runs on its own id, and leaving it early unwinds its stack;
// with the default stack and a long name, and with a given stack and none.
TEST(PlatformThread, SpawnedThreadRunsAndExitUnwindsItsStack) {
    for (const auto& [stackSize, name] :
         {std::pair<size_t, const char*>{0, "worker::runner-with-a-long-name"},
          {256 * 1024, nullptr}}) {
        Shared shared;
        ASSERT_TRUE(kp::ThreadSpawnDetached(
            [](void* p) {
                auto* s = static_cast<Shared*>(p);
                s->id = kp::ThreadCurrentId();
                {
                    MarkOnDestruction guard{s};
                    s->state = 1;
                    kp::ThreadExitCurrent();
                }
                s->state = 2; // never reached
            },
            &shared, stackSize, name));
        const uint64_t start = kp::MonotonicMs();
        while (!shared.destroyed && kp::MonotonicMs() - start < 5000)
            kp::SleepMs(1);
        ASSERT_TRUE(shared.destroyed.load()) << stackSize;
        kp::SleepMs(20);
        EXPECT_EQ(shared.state.load(), 1);
        EXPECT_NE(shared.id.load(), 0u);
        EXPECT_NE(shared.id.load(), kp::ThreadCurrentId());
    }
}

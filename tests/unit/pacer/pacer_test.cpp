#include "kxr/pacer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <thread>

namespace {

TEST(Pacer, StartsNearZeroAndNeverGoesBack) {
    const uint32_t first = vsyncGetCurMs();
    EXPECT_LT(first, 1000u) << "stamps count from the library's first use";
    uint32_t previous = first;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(30);
    while (std::chrono::steady_clock::now() < until) {
        const uint32_t now = vsyncGetCurMs();
        ASSERT_LT(now - previous, 1000u) << "stamp went backwards";
        previous = now;
    }
}

TEST(Pacer, FollowsTheClock) {
    const uint32_t before = vsyncGetCurMs();
    const auto wallBefore = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const uint32_t after = vsyncGetCurMs();
    const auto wall = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - wallBefore)
                          .count();
    EXPECT_GE(after - before, 45u);
    EXPECT_LE(after - before, static_cast<uint32_t>(wall) + 5u);
}

} // namespace

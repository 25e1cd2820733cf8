#include "kxr/pacer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <thread>

namespace {

// Stamps count from the library's first use and follow the clock.
TEST(Pacer, StartsNearZeroAndFollowsTheClock) {
    const uint32_t first = vsyncGetCurMs();
    EXPECT_LT(first, 1000u);
    const auto wallBefore = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const uint32_t after = vsyncGetCurMs();
    const auto wall = std::chrono::steady_clock::now() - wallBefore;
    EXPECT_GE(after - first, 45u);
    EXPECT_LE(after - first,
              std::chrono::duration_cast<std::chrono::milliseconds>(wall).count() + 5u);
}

} // namespace

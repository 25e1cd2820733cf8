// Millisecond stamps for cache ageing: only differences matter, so the count
// starts near zero and callers compare stamps by unsigned difference.
#include "kxr/pacer.h"

#include <cstdint>

#include "platform/kxr_time.h"

extern "C" {

PACER_EXPORT uint32_t vsyncGetCurMs(void) {
    // Taken on first use; the static's initialisation is thread-safe.
    static const std::uint64_t origin = kxr::platform::MonotonicMs();
    return static_cast<uint32_t>(kxr::platform::MonotonicMs() - origin);
}

} // extern "C"

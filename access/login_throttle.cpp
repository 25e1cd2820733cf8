#include "access/login_throttle.h"

#include <algorithm>

namespace kxr::access {

// The address's record (const or not, as self is), or null.
template <typename Self> auto LoginThrottle::Find(Self& self, uint32_t address) {
    const auto found = std::find_if(self.records_.begin(), self.records_.end(),
                                    [address](const Record& r) { return r.address == address; });
    return found != self.records_.end() ? &*found : nullptr;
}

bool LoginThrottle::Blocked(uint32_t address, uint64_t nowMs, uint32_t* retryAfterSeconds) const {
    const Record* record = Find(*this, address);
    if (record == nullptr || record->failures < kFailureLimit ||
        nowMs >= record->windowStartMs + kWindowMs)
        return false;
    const uint64_t left = record->windowStartMs + kWindowMs - nowMs;
    *retryAfterSeconds = static_cast<uint32_t>((left + 999) / 1000);
    return true;
}

void LoginThrottle::RecordFailure(uint32_t address, uint64_t nowMs) {
    Record* record = Find(*this, address);
    if (record == nullptr) {
        if (records_.size() < kCapacity) {
            records_.push_back(Record{address, 0, nowMs});
            record = &records_.back();
        } else {
            record = &*std::min_element(
                records_.begin(), records_.end(),
                [](const Record& a, const Record& b) { return a.windowStartMs < b.windowStartMs; });
            *record = Record{address, 0, nowMs};
        }
    }
    if (nowMs >= record->windowStartMs + kWindowMs)
        *record = Record{address, 0, nowMs};
    ++record->failures;
}

} // namespace kxr::access

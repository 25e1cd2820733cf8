// Failed logins counted per client address: an address that failed too
// often within a window is not checked again until the window is over, so
// guessing stays slow and password hashing cannot be used to load the
// machine. Not thread-safe: its owner locks.
#ifndef KXR_ACCESS_LOGIN_THROTTLE_H
#define KXR_ACCESS_LOGIN_THROTTLE_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kxr::access {

class LoginThrottle {
public:
    static constexpr uint32_t kFailureLimit = 5;
    static constexpr uint64_t kWindowMs = 60000;
    // Addresses remembered at once; when all are taken, the one whose window
    // began first makes room.
    static constexpr size_t kCapacity = 256;

    // True while the address has kFailureLimit failures in its window, with
    // the whole seconds until that window ends (at least 1).
    bool Blocked(uint32_t address, uint64_t nowMs, uint32_t* retryAfterSeconds) const;
    void RecordFailure(uint32_t address, uint64_t nowMs);

private:
    struct Record {
        uint32_t address;
        uint32_t failures;
        uint64_t windowStartMs;
    };
    template <typename Self> static auto Find(Self& self, uint32_t address);

    std::vector<Record> records_;
};

} // namespace kxr::access

#endif

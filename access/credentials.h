// The users of [KXR.NetServer.Users] and the check of a request's
// credentials against them: verified credentials are remembered for a while,
// so that a browser, which sends them with every request, costs one password
// derivation and not one per request; failed logins are throttled per client
// address.
#ifndef KXR_ACCESS_CREDENTIALS_H
#define KXR_ACCESS_CREDENTIALS_H

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "access/login_throttle.h"
#include "access/password_hash.h"
#include "access/roles.h"
#include "platform/kxr_crypto.h"

namespace kxr::access {

using UserTable = std::map<std::string, PasswordEntry, std::less<>>;

enum class AuthOutcome {
    Accepted,  // user and role are set
    Challenge, // no credentials, unreadable ones, or ones that did not match
    Throttled, // too many failures from this address: not checked at all
};

// The challenge of a 401, a whole header line.
inline constexpr char kBasicChallenge[] =
    "WWW-Authenticate: Basic realm=\"kxrHTTPD2\", charset=\"UTF-8\"\r\n";

struct AuthResult {
    AuthOutcome outcome = AuthOutcome::Challenge;
    std::string user;
    Role role = Role::Viewer;
    uint32_t retryAfterSeconds = 0; // for Throttled
};

class Authenticator {
public:
    static constexpr size_t kCacheSize = 64;
    static constexpr uint64_t kCacheLifetimeMs = 5 * 60 * 1000;

    // With no users at all, nobody is accepted.
    explicit Authenticator(UserTable users);

    // Checks the credentials of a request text from a client address
    // (network byte order) at a moment of the monotonic clock. Safe to call
    // from many connection threads at once; password derivations run one at
    // a time, so that parallel requests with the same new credentials derive
    // once and hashing never takes more than one core.
    AuthResult Check(std::string_view requestText, uint32_t address, uint64_t nowMs);

    // How many passwords have been derived so far (unknown users included).
    uint64_t Derivations() const { return derivations_.load(); }

private:
    using Digest = std::array<uint8_t, platform::kSha256Size>;
    struct Remembered {
        Digest digest{};
        const std::string* user = nullptr; // a key of users_
        Role role = Role::Viewer;
        uint64_t expiresMs = 0; // 0: free
        uint64_t usedMs = 0;
    };

    // With stateLock_ held.
    bool Recall(const Digest& digest, uint64_t nowMs, AuthResult* result);
    void Remember(const Digest& digest, const std::string* user, Role role, uint64_t nowMs);

    const UserTable users_;
    // Unknown names are checked against this, so that they take as long.
    PasswordEntry stranger_;
    // Key of the digests the cache is looked up by; without one nothing is
    // remembered.
    std::array<uint8_t, 32> cacheKey_{};
    bool haveCacheKey_ = false;

    std::mutex stateLock_;
    std::array<Remembered, kCacheSize> cache_{};
    LoginThrottle throttle_;

    std::mutex deriveLock_;
    std::atomic<uint64_t> derivations_{0};
};

} // namespace kxr::access

#endif

#include "access/credentials.h"

#include <algorithm>

#include "access/authorization.h"

namespace kxr::access {

Authenticator::Authenticator(UserTable users) : users_(std::move(users)) {
    if (!users_.empty()) {
        // The same cost as a real user: that user's iterations and salt size.
        stranger_ = users_.begin()->second;
        platform::RandomBytes(reinterpret_cast<uint8_t*>(stranger_.hash.data()),
                              stranger_.hash.size());
    }
    haveCacheKey_ = platform::RandomBytes(cacheKey_.data(), cacheKey_.size());
}

bool Authenticator::Recall(const Digest& digest, uint64_t nowMs, AuthResult* result) {
    for (Remembered& entry : cache_) {
        if (entry.expiresMs > nowMs &&
            platform::ConstantTimeEqual(entry.digest.data(), digest.data(), digest.size())) {
            entry.usedMs = nowMs;
            result->outcome = AuthOutcome::Accepted;
            result->user = *entry.user;
            result->role = entry.role;
            return true;
        }
    }
    return false;
}

void Authenticator::Remember(const Digest& digest, const std::string* user, Role role,
                             uint64_t nowMs) {
    // A free or expired place, else the one used longest ago.
    Remembered* place = &*std::min_element(
        cache_.begin(), cache_.end(), [nowMs](const Remembered& a, const Remembered& b) {
            const uint64_t aUsed = a.expiresMs > nowMs ? a.usedMs + 1 : 0;
            const uint64_t bUsed = b.expiresMs > nowMs ? b.usedMs + 1 : 0;
            return aUsed < bUsed;
        });
    *place = Remembered{digest, user, role, nowMs + kCacheLifetimeMs, nowMs};
}

AuthResult Authenticator::Check(std::string_view requestText, uint32_t address, uint64_t nowMs) {
    AuthResult result;
    {
        std::lock_guard<std::mutex> lock(stateLock_);
        if (throttle_.Blocked(address, nowMs, &result.retryAfterSeconds)) {
            result.outcome = AuthOutcome::Throttled;
            return result;
        }
    }
    BasicCredentials credentials;
    if (ReadBasicAuthorization(requestText, &credentials) != AuthorizationStatus::Basic)
        return result;

    // Looked up by a keyed digest: the cache never holds a password, nor
    // anything that could be tested against guesses without the key.
    const std::string joined = credentials.user + ":" + credentials.password;
    Digest digest{};
    const bool haveDigest =
        haveCacheKey_ && platform::HmacSha256(cacheKey_.data(), cacheKey_.size(), joined.data(),
                                              joined.size(), digest.data());
    if (haveDigest) {
        std::lock_guard<std::mutex> lock(stateLock_);
        if (Recall(digest, nowMs, &result))
            return result;
    }

    std::lock_guard<std::mutex> deriving(deriveLock_);
    {
        // Another thread may have verified the same credentials, or piled up
        // failures, while this one waited.
        std::lock_guard<std::mutex> lock(stateLock_);
        if (haveDigest && Recall(digest, nowMs, &result))
            return result;
        if (throttle_.Blocked(address, nowMs, &result.retryAfterSeconds)) {
            result.outcome = AuthOutcome::Throttled;
            return result;
        }
    }
    const auto user = users_.find(credentials.user);
    const bool known = user != users_.end();
    const bool matches =
        PasswordMatches(known ? user->second : stranger_, credentials.password) && known;
    ++derivations_;

    std::lock_guard<std::mutex> lock(stateLock_);
    if (!matches) {
        throttle_.RecordFailure(address, nowMs);
        return result;
    }
    if (haveDigest)
        Remember(digest, &user->first, user->second.role, nowMs);
    result.outcome = AuthOutcome::Accepted;
    result.user = user->first;
    result.role = user->second.role;
    return result;
}

} // namespace kxr::access

#include "rest/rest_access.h"

#include <memory>
#include <string>

#include "access/access_policy.h"
#include "access/credentials.h"
#include "platform/kxr_time.h"

namespace kxr::rest {

std::optional<Response> CheckAccess(const Request& request, Role needed) {
    const std::shared_ptr<const access::AccessPolicy> policy = access::CurrentAccessPolicy();
    access::Authenticator* users = policy->authenticator.get();
    if (users == nullptr)
        return std::nullopt;
    const access::AuthResult result =
        users->Check(request.head.c_str(), request.clientAddr, platform::MonotonicMs());
    if (result.outcome == access::AuthOutcome::Throttled) {
        Response refusal = Problem(429, "Too many failed logins from this address; try later.");
        refusal.headers = "Retry-After: " + std::to_string(result.retryAfterSeconds) + "\r\n";
        return refusal;
    }
    if (result.outcome != access::AuthOutcome::Accepted) {
        Response refusal = Problem(401, "This server needs a user name and password.");
        refusal.headers = access::kBasicChallenge;
        return refusal;
    }
    request.user = result.user;
    request.role = result.role;
    if (result.role < needed)
        return Problem(403, "The role " + std::string(access::RoleName(result.role)) +
                                " may not do this; it needs " +
                                std::string(access::RoleName(needed)) + ".");
    return std::nullopt;
}

} // namespace kxr::rest

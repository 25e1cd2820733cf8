#include "rest/rest_access.h"

#include <atomic>

namespace kxr::rest {

namespace {

std::optional<Response> AllowEveryone(const Request& /*request*/, Role /*needed*/) {
    return std::nullopt;
}

std::atomic<AccessCheck> installedCheck{&AllowEveryone};

} // namespace

void SetAccessCheck(AccessCheck check) {
    installedCheck.store(check != nullptr ? check : &AllowEveryone);
}

std::optional<Response> CheckAccess(const Request& request, Role needed) {
    return installedCheck.load()(request, needed);
}

} // namespace kxr::rest

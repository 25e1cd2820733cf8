#include "rest/rest_handlers.h"

#include <string>

namespace kxr::rest {

// Who is asking, as the access check found: no user and the admin role while
// no users are configured, since then every request may do everything.
Response HandleMe(const Request& request, const Captures& /*captures*/) {
    const Json user = request.user.empty() ? Json(nullptr) : Json(request.user);
    return JsonResponse(
        Json{{"user", user}, {"role", std::string(access::RoleName(request.role))}});
}

} // namespace kxr::rest

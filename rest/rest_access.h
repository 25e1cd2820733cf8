// Who may use the JSON face: every endpoint declares the role it needs
// (reading: viewer; driving a channel: operator), and one check decides
// before the endpoint runs. The check answers a refusal as a problem
// document, 401 (with its WWW-Authenticate line) for a request without valid
// credentials, 403 for a user whose role is too low.
//
// With no users configured there is nothing to check and every request may
// go on.
#ifndef KXR_REST_REST_ACCESS_H
#define KXR_REST_REST_ACCESS_H

#include <optional>

#include "access/roles.h"

#include "rest/rest_request.h"
#include "rest/rest_response.h"

namespace kxr::rest {

// In rising order: each role may do what the ones below it may.
using Role = access::Role;

// The refusal to answer instead of the endpoint, or nothing to let it run:
// with users configured the request's Basic credentials must be valid and
// their role high enough (401 with a challenge, 429 while an address is
// throttled, 403).
std::optional<Response> CheckAccess(const Request& request, Role needed);

} // namespace kxr::rest

#endif

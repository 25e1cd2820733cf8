// The Authorization header of a request: Basic credentials (RFC 7617).
// Reads bytes only, so the same code is unit-tested, fuzzed and served.
#ifndef KXR_ACCESS_AUTHORIZATION_H
#define KXR_ACCESS_AUTHORIZATION_H

#include <string>
#include <string_view>

namespace kxr::access {

struct BasicCredentials {
    std::string user;
    std::string password;
};

enum class AuthorizationStatus {
    Missing,   // no Authorization field
    Malformed, // one that cannot be read, another scheme, or more than one
    Basic,     // credentials in *out
};

// Looks through the header lines of a request text, from the line after the
// request line up to the blank line that ends the head (never into a body),
// for the one Authorization field. The user must be a possible user name
// (see IsValidUserName); neither part may hold control characters, and the
// password is at most kMaxPasswordLength bytes. A field on the last line of
// a text that ends before its line does is malformed: it may have been cut.
AuthorizationStatus ReadBasicAuthorization(std::string_view requestText, BasicCredentials* out);

} // namespace kxr::access

#endif

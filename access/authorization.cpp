#include "access/authorization.h"

#include "access/base64.h"
#include "access/password_hash.h"
#include "access/text_match.h"

namespace kxr::access {

namespace {

constexpr std::string_view kFieldName = "authorization";
constexpr std::string_view kScheme = "basic";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The credentials of one field value, "Basic <base64>".
AuthorizationStatus ReadValue(std::string_view value, BasicCredentials* out) {
    value = TrimBlanks(value);
    const size_t blank = value.find(' ');
    if (blank == std::string_view::npos || !EqualsNoCase(value.substr(0, blank), kScheme))
        return AuthorizationStatus::Malformed;
    const std::string_view token = TrimBlanks(value.substr(blank + 1));
    std::string decoded;
    if (token.empty() || !Base64Decode(token, &decoded))
        return AuthorizationStatus::Malformed;
    const size_t colon = decoded.find(':');
    if (colon == std::string::npos)
        return AuthorizationStatus::Malformed;
    const std::string_view user = std::string_view(decoded).substr(0, colon);
    const std::string_view password = std::string_view(decoded).substr(colon + 1);
    if (!IsValidUserName(user) || !IsPossiblePassword(password))
        return AuthorizationStatus::Malformed;
    out->user.assign(user);
    out->password.assign(password);
    return AuthorizationStatus::Basic;
}

} // namespace

AuthorizationStatus ReadBasicAuthorization(std::string_view text, BasicCredentials* out) {
    size_t at = text.find('\n');
    std::string_view value;
    bool found = false;
    bool previousWasField = false;
    while (at != std::string_view::npos) {
        const size_t start = at + 1;
        at = text.find('\n', start);
        std::string_view line = text.substr(start, at == std::string_view::npos ? at : at - start);
        const bool complete = at != std::string_view::npos;
        if (complete && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            break;
        // A folded continuation would extend the credentials.
        if (IsBlank(line.front())) {
            if (previousWasField)
                return AuthorizationStatus::Malformed;
            continue;
        }
        const size_t colon = line.find(':');
        previousWasField =
            colon != std::string_view::npos && EqualsNoCase(line.substr(0, colon), kFieldName);
        if (!previousWasField)
            continue;
        if (found || !complete)
            return AuthorizationStatus::Malformed;
        found = true;
        value = line.substr(colon + 1);
    }
    return found ? ReadValue(value, out) : AuthorizationStatus::Missing;
}

} // namespace kxr::access

// A request of the JSON face as it arrived in the connection's receive
// buffer: method, path segments, query parameters, the header lines and the
// body. Parsing takes bytes, not a socket, so the same code is tested and
// fuzzed from buffers.
#ifndef KXR_REST_REST_REQUEST_H
#define KXR_REST_REST_REQUEST_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "access/roles.h"

namespace kxr::rest {

// Every path of the JSON face begins with this.
inline constexpr std::string_view kApiPrefix = "/api/v1/";

struct QueryParameter {
    std::string name;
    std::string value; // percent-decoded, "+" read as a blank
    std::string raw;   // as it stood in the target
};

struct Request {
    std::string method;
    std::string target;                // as sent, query included
    std::vector<std::string> segments; // the path after kApiPrefix, split at "/", decoded
    std::vector<QueryParameter> query; // in the order sent
    std::string head;                  // request line and header lines, up to the blank line
    std::string body;
    bool headOnly = false;   // HEAD: the answer goes without its body
    uint32_t clientAddr = 0; // network byte order, for the failed-login throttle
    // Who asked, once the access check accepted the credentials: empty and
    // admin while no users are configured.
    mutable std::string user;
    mutable access::Role role = access::Role::Admin;

    // The first parameter of that name.
    const QueryParameter* Parameter(std::string_view name) const;
    // A header's value (the name matched without regard to case); empty when missing.
    std::string_view Header(std::string_view name) const;
};

// Why a request could not be read; the status it is answered with.
struct ReadFailure {
    int status = 0; // 400, 411 or 413
    std::string detail;
};

// Parses what the receive buffer holds; limit is what it can ever hold. A
// request that filled the buffer without ending its head, or whose body would
// not fit, fails with 413; a chunked body with 411 (a length is needed); a
// malformed line, a body shorter than its length or an escape that decodes to
// a zero byte with 400.
std::optional<Request> ParseRequest(std::string_view bytes, size_t limit, ReadFailure* failure);

// True when the request text's target begins with kApiPrefix.
bool IsApiRequestText(std::string_view requestText);

// A plain decimal number of 1 to maxDigits digits (at most 19), nothing
// else: no sign, no blanks.
std::optional<uint64_t> ReadDigits(std::string_view text, size_t maxDigits);

// Writes %XX for every byte that keep refuses.
std::string PercentEncode(std::string_view text, bool (*keep)(unsigned char));

// Decodes %XX escapes; with plusIsBlank "+" becomes a blank. False when an
// escape decodes to a zero byte.
bool PercentDecode(std::string_view text, bool plusIsBlank, std::string* out);

} // namespace kxr::rest

#endif

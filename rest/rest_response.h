// Answers of the JSON face: a status with its reason, a body with its type,
// and the problem documents (RFC 9457) that carry every error.
#ifndef KXR_REST_REST_RESPONSE_H
#define KXR_REST_REST_RESPONSE_H

#include <functional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace kxr::rest {

using Json = nlohmann::ordered_json;

inline constexpr const char* kJsonType = "application/json";
inline constexpr const char* kProblemType = "application/problem+json";

// Where a streamed answer goes after its head: the client's connection.
class StreamSink {
public:
    virtual ~StreamSink() = default;
    // False when the client is gone (or would not take the bytes in time).
    virtual bool Send(std::string_view bytes) = 0;
    // True once the client has closed its side.
    virtual bool PeerClosed() = 0;
};

struct Response {
    int status = 200;
    std::string contentType = kJsonType;
    std::string body;
    std::string cacheControl = "no-store";
    std::string headers; // further header lines, each ending in CR LF
    // Set for an answer without a length: it runs after the head has gone out
    // and writes the rest of the answer until it ends.
    std::function<void(StreamSink&)> stream;
};

// The reason phrase of a status this face answers with; "Unknown" otherwise.
const char* StatusReason(int status);

// JSON text of a value. Texts that are not UTF-8 (names on disk, engine
// messages) have their bad bytes replaced, so that dumping never fails.
std::string Dump(const Json& value);

Response JsonResponse(const Json& value, int status = 200);

// {"type":"about:blank","title":<reason>,"status":<status>,"detail":<detail>}
// as application/problem+json.
Response Problem(int status, const std::string& detail);

// The status line and header lines of an answer, blank line included:
// Content-Type, Content-Length (not for a stream or a 304), Cache-Control, the
// response's own lines and Connection: close.
std::string FormatHead(const Response& response);

} // namespace kxr::rest

#endif

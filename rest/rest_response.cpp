#include "rest/rest_response.h"

namespace kxr::rest {

namespace {

struct StatusText {
    int status;
    const char* reason;
};

constexpr StatusText kStatusTexts[] = {
    {200, "OK"},
    {304, "Not Modified"},
    {400, "Bad Request"},
    {401, "Unauthorized"},
    {403, "Forbidden"},
    {404, "Not Found"},
    {405, "Method Not Allowed"},
    {409, "Conflict"},
    {411, "Length Required"},
    {413, "Content Too Large"},
    {415, "Unsupported Media Type"},
    {429, "Too Many Requests"},
    {500, "Internal Server Error"},
    {503, "Service Unavailable"},
};

} // namespace

const char* StatusReason(int status) {
    for (const StatusText& text : kStatusTexts)
        if (text.status == status)
            return text.reason;
    return "Unknown";
}

std::string Dump(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Response JsonResponse(const Json& value, int status) {
    Response response;
    response.status = status;
    response.body = Dump(value);
    return response;
}

Response Problem(int status, const std::string& detail) {
    const Json problem = {{"type", "about:blank"},
                          {"title", StatusReason(status)},
                          {"status", status},
                          {"detail", detail}};
    Response response = JsonResponse(problem, status);
    response.contentType = kProblemType;
    return response;
}

std::string FormatHead(const Response& response) {
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " +
                       StatusReason(response.status) + "\r\n";
    if (!response.contentType.empty())
        head += "Content-Type: " + response.contentType + "\r\n";
    // A 304 has no body, and no length that could be taken for the picture's.
    if (!response.stream && response.status != 304)
        head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    head += "Cache-Control: " + response.cacheControl + "\r\n";
    head += response.headers;
    head += "Connection: close\r\n\r\n";
    return head;
}

} // namespace kxr::rest

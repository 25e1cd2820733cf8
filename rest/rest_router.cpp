#include "rest/rest_router.h"

#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include "httpd/listener.h"
#include "platform/kxr_socket.h"
#include "rest/rest_access.h"
#include "rest/rest_handlers.h"

namespace kxr::rest {

namespace {

// A stream whose client takes no bytes for this long has lost its client.
constexpr uint32_t kStreamSendTimeoutMs = 5000;

struct Endpoint {
    const char* method;
    // Segments after /api/v1/, split at "/"; "{}" matches any one segment.
    const char* pattern;
    Role role;
    Handler handler;
};

constexpr Endpoint kEndpoints[] = {
    {"GET", "channels", Role::Viewer, HandleChannels},
    {"GET", "channels/{}", Role::Viewer, HandleChannel},
    {"POST", "channels/{}/transport", Role::Operator, HandleTransport},
    {"GET", "clips", Role::Viewer, HandleClips},
    {"GET", "clips/{}", Role::Viewer, HandleClip},
    {"GET", "clips/{}/picon", Role::Viewer, HandlePicon},
    {"GET", "files", Role::Viewer, HandleFiles},
    {"GET", "files/info", Role::Viewer, HandleFileInfo},
    {"GET", "errors", Role::Viewer, HandleErrors},
    {"GET", "events", Role::Viewer, HandleEvents},
    {"GET", "me", Role::Viewer, HandleMe},
    {"GET", "openapi.json", Role::Viewer, HandleOpenApi},
};

// Whether the segments fit the pattern; the "{}" segments go to captures.
bool Matches(std::string_view pattern, const std::vector<std::string>& segments,
             Captures* captures) {
    captures->clear();
    size_t index = 0;
    size_t start = 0;
    while (start <= pattern.size()) {
        size_t end = pattern.find('/', start);
        if (end == std::string_view::npos)
            end = pattern.size();
        if (index >= segments.size())
            return false;
        const std::string_view piece = pattern.substr(start, end - start);
        if (piece == "{}") {
            if (segments[index].empty())
                return false;
            captures->push_back(segments[index]);
        } else if (piece != segments[index]) {
            return false;
        }
        ++index;
        start = end + 1;
    }
    return index == segments.size();
}

class ConnectionSink : public StreamSink {
public:
    explicit ConnectionSink(ConnectionRecord* record) : record_(record) {
        platform::SocketSetSendTimeout(record_->socket, kStreamSendTimeoutMs);
    }
    bool Send(std::string_view bytes) override {
        return httpd::SendAll(record_, bytes.data(), bytes.size());
    }
    bool PeerClosed() override {
        if (platform::SocketWaitReadable(record_->socket, 0) == 0)
            return false;
        char scratch[256];
        return platform::SocketReceive(record_->socket, scratch, sizeof scratch) <= 0;
    }

private:
    ConnectionRecord* record_;
};

} // namespace

Response Answer(const Request& request) {
    const std::string method = request.headOnly ? "GET" : request.method;
    std::string allowed;
    Captures captures;
    for (const Endpoint& endpoint : kEndpoints) {
        if (!Matches(endpoint.pattern, request.segments, &captures))
            continue;
        if (method != endpoint.method) {
            const std::string methods =
                std::string_view(endpoint.method) == "GET" ? "GET, HEAD" : endpoint.method;
            allowed += (allowed.empty() ? "" : ", ") + methods;
            continue;
        }
        if (std::optional<Response> refusal = CheckAccess(request, endpoint.role))
            return *refusal;
        try {
            return endpoint.handler(request, captures);
        } catch (const std::exception& failure) {
            return Problem(500, std::string("The answer failed: ") + failure.what());
        } catch (...) {
            return Problem(500, "The answer failed.");
        }
    }
    if (!allowed.empty()) {
        Response response =
            Problem(405, request.method + " is not one of the methods of this path: " + allowed);
        response.headers = "Allow: " + allowed + "\r\n";
        return response;
    }
    return Problem(404, "No endpoint of the JSON interface has this path.");
}

int32_t ServeConnection(ConnectionRecord* record) {
    const int64_t count = record->recvCount < 0 ? 0 : record->recvCount;
    const size_t limit = httpd::kRecvBufferSize - 1;
    const std::string_view bytes(record->recvBuffer, static_cast<size_t>(count) < limit
                                                         ? static_cast<size_t>(count)
                                                         : limit);
    ReadFailure failure;
    std::optional<Request> request = ParseRequest(bytes, limit, &failure);
    if (request)
        request->clientAddr = record->clientAddr;
    Response response;
    try {
        response = request ? Answer(*request) : Problem(failure.status, failure.detail);
    } catch (const std::exception&) {
        // Out of memory while building the answer.
        response = Response{};
        response.status = 500;
        response.contentType.clear();
    }
    if (request && !request->user.empty())
        std::snprintf(record->user, sizeof record->user, "%s", request->user.c_str());
    httpd::SetRoutedStatus(response.status);
    const std::string head = FormatHead(response);
    if (!httpd::SendAll(record, head.data(), head.size()) || (request && request->headOnly))
        return response.status;
    if (response.stream) {
        ConnectionSink sink(record);
        response.stream(sink);
    } else {
        httpd::SendAll(record, response.body.data(), response.body.size());
    }
    return response.status;
}

} // namespace kxr::rest

#include "httpd/connection.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>

#include "access/access_log.h"
#include "access/access_policy.h"
#include "httpd/file_conditions.h"
#include "httpd/listener.h"
#include "httpd/request_reader.h"
#include "httpd/response_head.h"
#include "httpd/static_file.h"
#include "platform/kxr_socket.h"
#include "platform/kxr_time.h"

namespace kxr::httpd {

namespace {

std::atomic<int32_t (*)(ConnectionRecord*)> routeHook{nullptr};
std::atomic<int32_t (*)(char*)> checkVirtualHook{nullptr};

constexpr char kWebEdit[] = "/webedit/v1/";
// The JSON face: every method on these paths goes to the router, which
// answers unknown ones itself.
constexpr char kJsonApi[] = "/api/v1/";
constexpr char kOptionsHeaders[] =
    "Allow: GET,HEAD\r\nPublic: OPTIONS,GET,HEAD\r\nAccess-Control-Allow-Origin: *\r\n"
    "Access-Control-Allow-Methods: POST, GET, OPTIONS\r\n"
    "Access-Control-Allow-Headers: X-PINGOTHER, Content-Type\r\nConnection: close\r\n";
// The whole request, body included, must fit the receive buffer with its
// terminator.
constexpr int64_t kRequestLimit = static_cast<int64_t>(kRecvBufferSize) - 1;

// The working storage of one request, on the heap: connection threads run on
// small stacks.
struct RequestWork {
    char send[kSendBufferSize];
    char line[kRequestLineSize];
    char path[kPathBufferSize];
    char virtualCopy[kVirtualCheckSize];
    // "./" and the decoded target, kept when the virtual step replaced the
    // path: redirects and listings name what the client asked for.
    char requested[kVirtualCheckSize + 2];
    bool routed = false; // the router sent the answer
};

void SetAccessText(ConnectionRecord* record, const char* path) {
    const std::string address = platform::Ipv4Format(record->clientAddr);
    const int port = platform::NetToHost16(record->clientPort);
    if (path != nullptr)
        std::snprintf(record->accessText, kAccessTextSize, "\"%s:%d\" %s", address.c_str(), port,
                      path);
    else
        std::snprintf(record->accessText, kAccessTextSize, "\"%s:%d\"", address.c_str(), port);
}

void AppendAccessText(ConnectionRecord* record, const char* text) {
    const size_t used = strnlen(record->accessText, kAccessTextSize - 1);
    std::snprintf(record->accessText + used, kAccessTextSize - used, "%s", text);
}

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

int32_t Route(ConnectionRecord* record) {
    const auto route = routeHook.load();
    return route != nullptr ? route(record) : 0;
}

enum class BodyResult { Routed, TooLarge };

// Gathers a POST body behind the head in the receive buffer.
BodyResult ReadPostBody(ConnectionRecord* record) {
    char* buffer = record->recvBuffer;
    int64_t count = record->recvCount < 0 ? 0 : record->recvCount;
    if (count > kRequestLimit)
        count = kRequestLimit;
    buffer[count] = '\0';
    const char* headEnd = std::strstr(buffer, "\r\n\r\n");
    if (headEnd == nullptr)
        return BodyResult::Routed;
    const char* field = std::strstr(buffer, "Content-Length:");
    if (field == nullptr)
        field = std::strstr(buffer, "content-length:");
    if (field == nullptr)
        return BodyResult::Routed;
    int64_t length = 0;
    if (!ReadDecimal(field + 15, &length) || length <= 0)
        return BodyResult::Routed;
    const int64_t bodyStart = headEnd + 4 - buffer;
    if (length > kRequestLimit - bodyStart)
        return BodyResult::TooLarge;
    const int64_t total = bodyStart + length;
    while (count < total && count < kRequestLimit) {
        const int64_t want = total - count;
        const int64_t n =
            platform::SocketReceive(record->socket, buffer + count, static_cast<size_t>(want));
        if (n <= 0)
            break;
        count += n;
    }
    record->recvCount = count;
    buffer[count] = '\0';
    return BodyResult::Routed;
}

// Lets the module turn a decoded path into a local one.
void CheckVirtual(RequestWork* work) {
    const auto check = checkVirtualHook.load();
    if (check == nullptr)
        return;
    const char* decoded = work->path + 2;
    const size_t length = std::strlen(decoded);
    // A path that does not fit the copy is not below any root.
    if (length >= kVirtualCheckSize)
        return;
    std::memcpy(work->virtualCopy, decoded, length + 1);
    if (check(work->virtualCopy) == 0)
        return;
    work->virtualCopy[kVirtualCheckSize - 1] = '\0';
    size_t copied = std::strlen(work->virtualCopy);
    if (copied > 1 &&
        (work->virtualCopy[copied - 1] == '\\' || work->virtualCopy[copied - 1] == '/'))
        work->virtualCopy[--copied] = '\0';
    std::memcpy(work->requested, work->path, length + 3);
    std::memcpy(work->path, work->virtualCopy, copied + 1);
}

void Decode(RequestWork* work, const char* target) {
    work->requested[0] = '\0';
    work->path[0] = '.';
    work->path[1] = '/';
    DecodeRequestPath(target, work->path + 2, kPathBufferSize - 2);
}

// Answers with an error status, the usual head and error page, and extra
// header lines; nothing else runs for the request.
void Refuse(ConnectionRecord* record, RequestWork* work, int32_t code, const char* headers) {
    SetAccessText(record, nullptr);
    SetStatus(record, code);
    AddResponseHeaders(record, headers);
    BuildResponseHead(record, StartsWith(work->line, "HEAD ") ? 1 : 0, work->send, kSendBufferSize);
}

// With users configured: the credentials the head carries. False when the
// request was answered here (a challenge, or too many failures).
bool Authenticate(ConnectionRecord* record, RequestWork* work, access::Authenticator& users,
                  access::AuthResult* result) {
    ReadRequestHead(record);
    *result = users.Check(record->recvBuffer, record->clientAddr, platform::MonotonicMs());
    if (result->outcome == access::AuthOutcome::Accepted) {
        std::snprintf(record->user, sizeof record->user, "%s", result->user.c_str());
        return true;
    }
    if (result->outcome == access::AuthOutcome::Throttled) {
        const std::string retry =
            "Retry-After: " + std::to_string(result->retryAfterSeconds) + "\r\n";
        Refuse(record, work, 429, retry.c_str());
    } else {
        Refuse(record, work, 401, access::kBasicChallenge);
    }
    return false;
}

// What may answer a request before it is served, in this order: the
// allow-list, the credentials, a POST body too large, the role the request
// needs. False when one of them answered. The JSON face answers its own
// refusals, as problem documents: only the allow-list is checked for it.
bool Admit(ConnectionRecord* record, RequestWork* work, bool post, bool api) {
    const std::shared_ptr<const access::AccessPolicy> policy = access::CurrentAccessPolicy();
    if (!policy->allowList.Allows(record->clientAddr)) {
        Refuse(record, work, 403, nullptr);
        return false;
    }
    if (api)
        return true;
    access::Authenticator* users = policy->authenticator.get();
    access::AuthResult auth;
    if (users != nullptr && !Authenticate(record, work, *users, &auth))
        return false;
    // The role a POST needs depends on its body too.
    if (post && ReadPostBody(record) == BodyResult::TooLarge) {
        Refuse(record, work, 413, nullptr);
        return false;
    }
    // What the router will be handed.
    const std::string_view routed(record->recvBuffer,
                                  strnlen(record->recvBuffer, kRecvBufferSize - 1));
    if (users != nullptr && auth.role < access::RequiredRole(work->line, routed)) {
        Refuse(record, work, 403, nullptr);
        return false;
    }
    return true;
}

void ServeRequest(ConnectionRecord* record, RequestWork* work) {
    ResetResponse(record);
    int32_t headOnly = 1;
    const int32_t n = ReadRequestLine(record, work->line, kRequestLineSize);
    const char* line = work->line;
    if (n < 0)
        work->line[0] = '\0';

    // A request line that never came is not answered at all.
    const bool post = n >= 5 && StartsWith(line, "POST ");
    const char* blank = n > 0 ? std::strchr(line, ' ') : nullptr;
    const bool api = blank != nullptr && StartsWith(blank + 1, kJsonApi);
    if (n >= 0 && !Admit(record, work, post, api))
        return;
    if (api) {
        // Answered whole by the router, whatever it says; a body too large
        // for the buffer is left unread for the router to refuse.
        ReadRequestHead(record);
        ReadPostBody(record);
        if ((work->routed = Route(record) > 0))
            return;
    }
    if (n >= 4 && StartsWith(line, "GET ")) {
        if ((work->routed = Route(record) > 0))
            return;
        Decode(work, line + 4);
        CheckVirtual(work);
        headOnly = 0;
    } else if (n >= 5 && StartsWith(line, "HEAD ")) {
        Decode(work, line + 5);
    } else if (n >= 8 && StartsWith(line, "OPTIONS ")) {
        SendOptionsReply(record);
        return;
    } else if (post) {
        if ((work->routed = Route(record) > 0))
            return;
        Decode(work, line + 5);
        CheckVirtual(work);
        headOnly = 0;
    } else if (((n >= 4 && StartsWith(line, "PUT ")) || (n >= 6 && StartsWith(line, "PATCH ")) ||
                (n >= 7 && StartsWith(line, "DELETE "))) &&
               std::strstr(line, kWebEdit) != nullptr) {
        work->routed = Route(record) > 0;
        return;
    } else {
        // Not ours to answer: the connection is simply closed.
        SetAccessText(record, nullptr);
        record->logDescriptor = line;
        return;
    }

    if (work->path[2] == '\0' && work->path[0] == '.' && work->path[1] == '/') {
        SetAccessText(record, nullptr);
        SetStatus(record, 400);
        BuildResponseHead(record, headOnly, work->send, kSendBufferSize);
        return;
    }
    SetAccessText(record, std::strlen(work->path) >= 2 ? work->path + 2 : "");
    if (HasParentSegment(work->path)) {
        AppendAccessText(record, " ;");
        SetStatus(record, 403);
        BuildResponseHead(record, headOnly, work->send, kSendBufferSize);
        return;
    }
    ServeFile(record, headOnly, work->path, kPathBufferSize,
              work->requested[0] != '\0' ? work->requested : work->path);
}

// One line of the access log, from what the request left behind.
void LogAccess(const ConnectionRecord* record, const RequestWork& work, int64_t arrived) {
    access::AccessEntry entry;
    entry.clientAddr = record->clientAddr;
    entry.unixTime = arrived;
    entry.requestLine = work.line;
    entry.user = record->user;
    entry.bytes = BytesSent();
    if (work.routed)
        entry.status = RoutedStatus();
    else if (entry.bytes > 0)
        entry.status = StatusTableRow(record->statusIndex).code;
    const int64_t count = record->recvCount < 0 ? 0 : record->recvCount;
    const size_t room =
        static_cast<size_t>(count) < kRecvBufferSize ? static_cast<size_t>(count) : kRecvBufferSize;
    const std::string_view head(record->recvBuffer, strnlen(record->recvBuffer, room));
    entry.referer = std::string(HeaderValue(head, "Referer"));
    entry.userAgent = std::string(HeaderValue(head, "User-Agent"));
    access::SubmitAccessEntry(entry);
}

} // namespace

void SetRequestHooks(const RequestHooks& hooks) {
    routeHook.store(hooks.route);
    checkVirtualHook.store(hooks.checkVirtual);
}

RequestHooks GetRequestHooks() {
    return RequestHooks{routeHook.load(), checkVirtualHook.load()};
}

void SendOptionsReply(ConnectionRecord* record) {
    SetAccessText(record, nullptr);
    record->logDescriptor = "OPTIONS";
    SetStatus(record, 200);
    AddResponseHeaders(record, kOptionsHeaders);
    char buffer[kSendBufferSize];
    const int32_t length = BuildResponseHead(record, 1, buffer, sizeof buffer);
    if (length > 0)
        SendAll(record, buffer, static_cast<size_t>(length));
}

uint32_t ConnectionThreadMain(void* argument) {
    auto* record = static_cast<ConnectionRecord*>(argument);
    if (record == nullptr)
        return 0;
    record->readPos = 0;
    record->recvCount = 0;
    try {
        auto work = std::make_unique<RequestWork>();
        const int64_t arrived = platform::UnixTimeNow();
        ResetBytesSent();
        ServeRequest(record, work.get());
        // A connection that closed without a byte asked for nothing.
        if (access::AccessLogIsOpen() && record->recvCount > 0)
            LogAccess(record, *work, arrived);
    } catch (const std::exception&) {
        // Out of memory or a hook that threw: the connection still closes.
    }
    CloseConnection(record);
    return 0;
}

} // namespace kxr::httpd

#include "module/router.h"

#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>

#include "answer/http_request.h"
#include "binding/callback_slots.h"
#include "httpd/listener.h"
#include "kxr/rvutil.h"
#include "module/module_state.h"
#include "rest/rest_request.h"
#include "rest/rest_router.h"

namespace kxr {

namespace {

constexpr int32_t kNotHandled = -1;

bool Contains(const char* text, const char* marker) {
    return std::strstr(text, marker) != nullptr;
}

// The request text from its sixth character on, so that the method and the
// slash never count; empty for a shorter text.
const char* AfterMethod(const char* text) {
    return std::strlen(text) >= 5 ? text + 5 : "";
}

bool AnswerStartsWith(const char* answer, int32_t length, char c) {
    return answer != nullptr && length > 0 && answer[0] == c;
}

bool AnswerStartsWithWord(const char* answer, int32_t length, const char* word) {
    const size_t n = std::strlen(word);
    if (answer == nullptr || length < 0 || static_cast<size_t>(length) < n) {
        return false;
    }
    for (size_t i = 0; i < n; ++i) {
        if (std::toupper(static_cast<unsigned char>(answer[i])) != word[i]) {
            return false;
        }
    }
    return true;
}

// A generated page sent as XML makes browsers stop at its first unclosed
// META line, so pages go out as HTML.
bool AnswerIsPage(const char* answer, int32_t length) {
    return AnswerStartsWithWord(answer, length, "<HTML") ||
           AnswerStartsWithWord(answer, length, "<!DOCTYPE");
}

constexpr const char* kTypeJson = "Content-Type: application/json\r\n";
constexpr const char* kTypeXml = "Content-Type: application/xml; charset=uft-8\r\n";

struct ExtensionType {
    const char* marker;
    const char* line;
};

// Tested in this order; the first marker found decides.
constexpr ExtensionType kExtensionTypes[] = {
    {".gif", "Content-Type: image/gif\r\n"},   {".bmp", "Content-Type: image/bmp\r\n"},
    {".png", "Content-Type: image/png\r\n"},   {".jpg", "Content-Type: image/jpeg\r\n"},
    {".jpeg", "Content-Type: image/jpeg\r\n"}, {"&mpreview", "Content-Type: image/jpeg\r\n"},
    {".tif", "Content-Type: image/tiff\r\n"},  {".pdf", "Content-Type: application/pdf\r\n"},
    {".css", "Content-Type: text/css\r\n"},    {".ico", "Content-Type: image/x-icon\r\n"},
    {".htm", "Content-Type: text/html\r\n"},
};

} // namespace

Route SelectRoute(const char* text, bool callbackRegistered) {
    if (!callbackRegistered) {
        return Route::Dispatcher;
    }
    if (Contains(text, "/vorn?request") || Contains(text, "/tarvikcmd?")) {
        return Route::Relay;
    }
    if (Contains(text, "/config?") || Contains(text, "/options?") ||
        Contains(text, "/descriptors?")) {
        return Route::Config;
    }
    if (Contains(text, "/webrtc")) {
        return Route::WebRtc;
    }
    if (Contains(text, "/monitor/")) {
        return Route::Monitor;
    }
    return Route::Dispatcher;
}

const char* RouterContentType(Route route, const char* text, const char* answer, int32_t length) {
    switch (route) {
    case Route::Relay:
        return AnswerStartsWith(answer, length, '{') || AnswerStartsWith(answer, length, '[')
                   ? kTypeJson
                   : kTypeXml;
    case Route::WebRtc:
        return AnswerStartsWith(answer, length, '<') ? "Content-Type: text/html\r\n" : "";
    case Route::Monitor:
        return "Content-Type: application/octet-stream\r\n"
               "Access-Control-Allow-Origin: *\r\n";
    case Route::Dispatcher:
        if (AnswerIsPage(answer, length)) {
            return "Content-Type: text/html; charset=iso-8859-1\r\n";
        }
        break;
    case Route::Config:
        break;
    }
    const char* target = AfterMethod(text);
    if (Contains(text, "/KXRXML") || Contains(target, ".xml") ||
        AnswerStartsWith(answer, length, '<')) {
        return kTypeXml;
    }
    for (const ExtensionType& type : kExtensionTypes) {
        if (Contains(target, type.marker)) {
            return type.line;
        }
    }
    return "Content-Type: text/plain\r\n";
}

size_t BuildRouterHead(char (&head)[kRouterHeadSize], Route route, const char* text,
                       const char* answer, int64_t held, int64_t length) {
    int n =
        std::snprintf(head, sizeof head,
                      "HTTP/1.1 200 OK\r\nConnection: close\r\nCache-Control: "
                      "no-cache\r\nContent-Length:%" PRId64 "\r\nServer: TarvikWebServer/7.0\r\n",
                      length);
    size_t used = n > 0 ? static_cast<size_t>(n) : 0;
    if (used >= sizeof head) {
        used = sizeof head - 1;
    }
    const int64_t shown = held < length ? held : length;
    const int32_t seen = shown > INT32_MAX ? INT32_MAX : static_cast<int32_t>(shown);
    n = std::snprintf(head + used, sizeof head - used, "%s\r\n",
                      RouterContentType(route, text, answer, seen));
    used += n > 0 ? static_cast<size_t>(n) : 0;
    return used < sizeof head ? used : sizeof head - 1;
}

RoutedAnswer ProduceAnswer(const char* text) {
    RoutedAnswer out;
    out.route = SelectRoute(text, HttpCallback() != nullptr);
    CHttpRequest request;
    request.streamFileAnswer = true;
    ModuleSectionEnter();
    try {
        HttpCallbackFn callback = HttpCallback();
        if (out.route != Route::Dispatcher && callback == nullptr) {
            // Removed since the route was chosen.
            out.route = Route::Dispatcher;
        }
        if (out.route == Route::Dispatcher) {
            out.result = Dispatch(text, &out.answer, &out.length, &request);
        } else {
            out.result = callback(text, &out.answer);
            out.length = out.result;
            if (out.result == kNotHandled) {
                out.length = 0;
                if (out.route == Route::Relay) {
                    out.result = Dispatch(text, &out.answer, &out.length, &request);
                }
            }
        }
    } catch (...) {
        // The producer's failure ends the request with what it had stored.
    }
    ModuleSectionLeave();
    out.file = request.fileAnswer;
    out.fileSize = request.fileAnswerSize;
    return out;
}

namespace {

// A file answer, streamed after the module's lock is left so that a big file
// neither fills memory nor holds up every other request; its size may pass
// 4 GiB.
void SendFileAnswer(ConnectionRecord* record, const RoutedAnswer& routed, const char* text) {
    constexpr size_t kPiece = 256 * 1024;
    const std::unique_ptr<char[]> buffer(new char[kPiece]);
    uint32_t got = 0;
    rvOSReadFile(routed.file, buffer.get(), kPiece, &got, nullptr);
    char head[kRouterHeadSize];
    const size_t headLength =
        BuildRouterHead(head, routed.route, text, buffer.get(), got, routed.fileSize);
    if (!httpd::SendAll(record, head, headLength))
        return;
    int64_t left = routed.fileSize;
    while (got > 0 && left > 0) {
        const size_t count = static_cast<int64_t>(got) < left ? got : static_cast<size_t>(left);
        if (!httpd::SendAll(record, buffer.get(), count))
            return;
        left -= static_cast<int64_t>(count);
        got = 0;
        if (left > 0)
            rvOSReadFile(routed.file, buffer.get(), kPiece, &got, nullptr);
    }
}

} // namespace

int32_t kxrHttpdRequest(ConnectionRecord* record) {
    if (record == nullptr) {
        return 0;
    }
    // The buffer is kept terminated by the reader; make sure of it anyway.
    record->recvBuffer[sizeof record->recvBuffer - 1] = '\0';
    const char* text = record->recvBuffer;
    if (text[0] == '\0') {
        return 0;
    }
    // The JSON face answers its own paths, ahead of the host and the dispatcher.
    if (rest::IsApiRequestText(text)) {
        return rest::ServeConnection(record);
    }
    RoutedAnswer routed = ProduceAnswer(text);
    if (routed.file != RV_INVALID_HANDLE) {
        SendFileAnswer(record, routed, text);
        rvOSCloseFile(routed.file);
    }
    // A negative length other than "not handled" is no answer either.
    if (routed.length > 0 && routed.answer != nullptr) {
        char head[kRouterHeadSize];
        const size_t headLength =
            BuildRouterHead(head, routed.route, text, routed.answer, routed.length, routed.length);
        if (httpd::SendAll(record, head, headLength)) {
            httpd::SendAll(record, routed.answer, static_cast<size_t>(routed.length));
        }
    }
    if (routed.answer != nullptr) {
        RVFree(routed.answer);
    }
    return routed.result;
}

int32_t kxrHttpdHandleRequest(const char* requestText, char** answerOut) {
    if (requestText == nullptr || answerOut == nullptr) {
        return 0;
    }
    CHttpRequest request;
    int32_t length = 0;
    Dispatch(requestText, answerOut, &length, &request);
    return length;
}

} // namespace kxr

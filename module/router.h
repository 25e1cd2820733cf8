// The request router: the host callback or the API dispatcher answers, under
// the module-wide critical section, and the router sends the answer with its
// own fixed head.
#ifndef KXR_MODULE_ROUTER_H
#define KXR_MODULE_ROUTER_H

#include <cstddef>
#include <cstdint>

#include "httpd/connection_record.h"
#include "kxr/rvutil.h"

namespace kxr {

enum class Route { Dispatcher, Relay, Config, WebRtc, Monitor };

// The head of a router answer fits this buffer, terminator included.
inline constexpr size_t kRouterHeadSize = 260;

// The route of a request text; every route but the dispatcher needs a host
// callback. Markers are found anywhere in the text, header lines included.
Route SelectRoute(const char* requestText, bool callbackRegistered);

// The Content-Type line (and for the monitor route the CORS line) of an
// answer, each ending in CR LF; may be empty.
const char* RouterContentType(Route route, const char* requestText, const char* answer,
                              int32_t length);

// Writes the whole head, blank line included, and returns its length. answer
// holds the answer's first `held` bytes, which the content type looks at;
// length is the whole answer's.
size_t BuildRouterHead(char (&head)[kRouterHeadSize], Route route, const char* requestText,
                       const char* answer, int64_t held, int64_t length);

// What the producers made of one request, before anything is sent.
struct RoutedAnswer {
    Route route = Route::Dispatcher;
    int32_t result = 0;
    int32_t length = 0;
    char* answer = nullptr;
    // A file answer to stream instead of an answer in memory.
    RVHANDLE file = RV_INVALID_HANDLE;
    int64_t fileSize = 0;
};

// Runs the producer for the request text under the module-wide critical
// section; exceptions from the producers end it with what they had stored.
RoutedAnswer ProduceAnswer(const char* requestText);

// Routes the connection's request and sends the answer when there is one.
// Above 0: answered and sent.
int32_t kxrHttpdRequest(ConnectionRecord* record);

// The API dispatcher for a request text of the host's, without the section
// and without catching. Returns the answer's length.
int32_t kxrHttpdHandleRequest(const char* requestText, char** answerOut);

} // namespace kxr

#endif

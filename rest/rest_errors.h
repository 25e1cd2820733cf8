// The engine's error log in the JSON face: its messages, and the summary that
// the "errors" event carries when the log changes.
#ifndef KXR_REST_REST_ERRORS_H
#define KXR_REST_REST_ERRORS_H

#include <cstdint>
#include <optional>
#include <string>

#include "rest/rest_response.h"

namespace kxr::rest {

// {"lastChange","count","latest"}: the log's change stamp, its number of
// messages and the newest message (null when there is none). Called under
// the module-wide critical section.
Json ErrorsEventJson();

// The newest message's text; nothing when the log is empty. Called under the
// module-wide critical section.
std::optional<std::string> LatestErrorText();

// Where the log stands: its stamp and its count. A stamp alone may not move
// (two messages in one millisecond, a clock that stands still), a count
// alone not either (a full log drops its oldest message).
struct ErrorLogMark {
    uint32_t stamp = 0;
    uint32_t count = 0;
    bool operator!=(const ErrorLogMark& other) const {
        return stamp != other.stamp || count != other.count;
    }
};
ErrorLogMark MarkErrorLog();

} // namespace kxr::rest

#endif

// The engine's error log in the JSON face: its messages, and the summary that
// the "errors" event carries when the log changes.
#ifndef KXR_REST_REST_ERRORS_H
#define KXR_REST_REST_ERRORS_H

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

} // namespace kxr::rest

#endif

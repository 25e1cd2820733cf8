// The endpoints of the JSON face. Each gets the parsed request and the path
// segments its route left open ({n}, {name}), and answers; the router has
// already checked the method and the caller's access. Each takes the
// module-wide critical section itself around what touches the engine or the
// shared answer state, and never holds it while it sends.
#ifndef KXR_REST_REST_HANDLERS_H
#define KXR_REST_REST_HANDLERS_H

#include <string>
#include <vector>

#include "rest/rest_request.h"
#include "rest/rest_response.h"

namespace kxr::rest {

using Captures = std::vector<std::string>;
using Handler = Response (*)(const Request& request, const Captures& captures);

// rest_channels.cpp
Response HandleChannels(const Request& request, const Captures& captures);
Response HandleChannel(const Request& request, const Captures& captures);
Response HandleTransport(const Request& request, const Captures& captures);
// rest_clips.cpp
Response HandleClips(const Request& request, const Captures& captures);
Response HandleClip(const Request& request, const Captures& captures);
Response HandlePicon(const Request& request, const Captures& captures);
// rest_files.cpp
Response HandleFiles(const Request& request, const Captures& captures);
Response HandleFileInfo(const Request& request, const Captures& captures);
// rest_errors.cpp
Response HandleErrors(const Request& request, const Captures& captures);
// rest_events.cpp
Response HandleEvents(const Request& request, const Captures& captures);
// rest_me.cpp
Response HandleMe(const Request& request, const Captures& captures);
// rest_openapi.cpp
Response HandleOpenApi(const Request& request, const Captures& captures);

} // namespace kxr::rest

#endif

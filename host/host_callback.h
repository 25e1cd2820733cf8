// The host's answers to the paths the module relays to it.
#ifndef KXR_HOST_HOST_CALLBACK_H
#define KXR_HOST_HOST_CALLBACK_H

#include <cstdint>
#include <string>

#include "kxr/engine.h"

namespace kxrhost {

// The engine library whose status "/monitor/" reports; null reports no
// engine.
void SetHostEngine(void* engineLibrary);

// "/vorn?request" and "/tarvikcmd?": the request line echoed as JSON.
// "/config?": the configuration as JSON. "/monitor/": the channels' state as
// JSON. Any other request: -1, which leaves it to the module.
int32_t HostHttpCallback(const char* requestText, char** answerOut);

// The first line of a request text, without its line end.
std::string RequestLine(const char* requestText);
// The status of every channel of the engine.
std::string EngineStatusJson();

} // namespace kxrhost

#endif

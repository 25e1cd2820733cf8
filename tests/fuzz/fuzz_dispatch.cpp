// The API dispatcher on arbitrary request texts: parsing, both command
// tables, the page query with its engine actions and every answer builder
// reachable from a path, against the recording fake engine.
#include "fuzz_dispatcher.h"

void Fuzz(const uint8_t* data, size_t size) {
    static FuzzDispatcher dispatcher;
    const std::string text = Text(data, size);
    kxr::CHttpRequest request;
    if (!dispatcher.Answer(text, &request))
        return;
    // A request that passed the first test is handed back empty.
    kxr::CHttpRequest expected;
    kxr::ParseRequestText(text.c_str(), expected);
    const bool reached = expected.path.find("KXR") != std::string::npos ||
                         expected.path.find("index") != std::string::npos;
    Require(!reached || (request.path.empty() && request.parsed == 0));
}

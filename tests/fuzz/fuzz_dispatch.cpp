// The API dispatcher on arbitrary request texts: parsing, both command
// tables, the page query with its engine actions and every answer builder
// reachable from a path, against the recording fake engine.
#include "answer/my_http_client.h"
#include "fuzz_check.h"
#include "kxr/rvutil.h"
#include "tests/support/fake_engine.h"

using kxrfuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static kxrtest::FakeEngine engine;
    static kxr::CMyHttpClient client;
    // The router hands over at most a 4096-byte buffer.
    if (size > 4095)
        return 0;
    const std::string text = kxrfuzz::Text(data, size);
    // The file answer reads whatever file the query names, however large, and
    // MakeDir and ErrorLogSave write wherever they are told: keep them away
    // from the machine's files.
    for (const char* word : {"PassThrough", "Page", "MakeDir", "ErrorLogSave"})
        if (text.find(word) != std::string::npos)
            return 0;
    engine.Clear();
    kxr::CHttpRequest request;
    char* body = nullptr;
    int32_t length = 0;
    const int32_t result = client.HandleRequest(text.c_str(), &body, &length, &request);
    Require(result >= 0 && length >= 0 && (length == 0 || body != nullptr));
    if (body != nullptr) {
        // The body must be readable for its whole length.
        volatile char last = body[length > 0 ? length - 1 : 0];
        (void)last;
        RVFree(body);
    }
    // A request that passed the first test is handed back empty.
    kxr::CHttpRequest expected;
    kxr::ParseRequestText(text.c_str(), expected);
    const bool reached = expected.path.find("KXR") != std::string::npos ||
                         expected.path.find("index") != std::string::npos;
    Require(!reached || (request.path.empty() && request.parsed == 0));
    return 0;
}

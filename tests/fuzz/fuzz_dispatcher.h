// The API dispatcher for the fuzz targets that drive it, against the
// recording fake engine.
#ifndef KXR_TESTS_FUZZ_DISPATCHER_H
#define KXR_TESTS_FUZZ_DISPATCHER_H

#include "answer/my_http_client.h"
#include "fuzz_check.h"
#include "kxr/rvutil.h"
#include "tests/support/fake_engine.h"

struct FuzzDispatcher {
    // Answers text with a fresh record of engine calls; false, without
    // asking, for a text longer than the router's 4096-byte buffer or one
    // that names the file answer (which reads whatever file it is given,
    // however large), MakeDir or ErrorLogSave (which write wherever they are
    // told). The answer must be readable for its whole length.
    bool Answer(const std::string& text, kxr::CHttpRequest* request) {
        if (text.size() > 4095)
            return false;
        for (const char* word : {"PassThrough", "Page", "MakeDir", "ErrorLogSave"})
            if (text.find(word) != std::string::npos)
                return false;
        engine.Clear();
        char* body = nullptr;
        int32_t length = 0;
        const int32_t result = client.HandleRequest(text.c_str(), &body, &length, request);
        Require(result >= 0 && length >= 0 && (length == 0 || body != nullptr));
        if (body != nullptr) {
            volatile char last = body[length > 0 ? length - 1 : 0];
            (void)last;
            RVFree(body);
        }
        return true;
    }

    kxrtest::FakeEngine engine;
    kxr::CMyHttpClient client;
};

#endif

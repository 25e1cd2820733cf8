// Runs requests through a client of its own against the fake engine.
#ifndef KXR_TESTS_UNIT_API_SUPPORT_H
#define KXR_TESTS_UNIT_API_SUPPORT_H

#include <gtest/gtest.h>

#include <string>

#include "answer/my_http_client.h"
#include "kxr/rvutil.h"
#include "tests/support/fake_engine.h"

namespace kxrtest {

struct Answer {
    int32_t result = -1;
    int32_t length = -1;
    bool hasBody = false;
    std::string body;
};

// The calls as text, one per call: "ordinal(arg,arg)'text'".
inline std::string Trace(const FakeEngine& engine) {
    std::string out;
    for (const EngineCall& call : engine.Calls()) {
        out += (out.empty() ? "" : " ") + std::to_string(call.ordinal) + "(";
        for (size_t i = 0; i < call.args.size(); ++i)
            out += (i > 0 ? "," : "") + std::to_string(call.args[i]);
        out += ")" + (call.text.empty() ? "" : "'" + call.text + "'");
    }
    return out;
}

class ApiTest : public ::testing::Test {
protected:
    void SetUp() override { kxr::selectedChannel = 0; }
    void TearDown() override { kxr::selectedChannel = 0; }

    Answer Ask(const std::string& text) {
        Answer a;
        char* body = nullptr;
        a.result = client.HandleRequest(text.c_str(), &body, &a.length, &request);
        a.hasBody = body != nullptr;
        if (body != nullptr) {
            a.body.assign(body, static_cast<size_t>(a.length));
            RVFree(body);
        }
        return a;
    }
    // A GET request line for path.
    Answer Get(const std::string& path) { return Ask("GET /" + path + " HTTP/1.1\r\n\r\n"); }

    FakeEngine engine;
    kxr::CMyHttpClient client;
    kxr::CHttpRequest request;
};

} // namespace kxrtest

#endif

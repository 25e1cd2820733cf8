// The role decision against the dispatcher on arbitrary request texts: a
// text the decision lets a viewer send must not change the engine's state
// nor the selected channel when the dispatcher answers it.
#include "access/roles.h"
#include "answer/my_http_client.h"
#include "binding/callback_slots.h"
#include "fuzz_check.h"
#include "kxr/rvutil.h"
#include "module/module_state.h"
#include "tests/support/fake_engine.h"

using kxrfuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static kxrtest::FakeEngine engine;
    static kxr::CMyHttpClient client;
    static const bool routed = [] {
        // Media commands reach the recording engine too.
        kxr::SetMediaCmdHandler(engine.Table().mediaCmd);
        return true;
    }();
    (void)routed;
    if (size > 4095)
        return 0;
    const std::string text = kxrfuzz::Text(data, size);
    // As in fuzz_dispatch: keep file answers and writes away from the
    // machine's files (MakeDir and ErrorLogSave need an operator anyway).
    for (const char* word : {"PassThrough", "Page", "MakeDir", "ErrorLogSave"})
        if (text.find(word) != std::string::npos)
            return 0;
    const std::string line = text.substr(0, text.find_first_of("\r\n"));
    // Only what reaches the router: HEAD and OPTIONS never do.
    if (line.rfind("HEAD ", 0) == 0 || line.rfind("OPTIONS ", 0) == 0)
        return 0;
    const kxr::access::Role role = kxr::access::RequiredRole(line, std::string_view(text.c_str()));
    engine.Clear();
    kxr::selectedChannel = 0;
    kxr::CHttpRequest request;
    char* body = nullptr;
    int32_t length = 0;
    client.HandleRequest(text.c_str(), &body, &length, &request);
    if (body != nullptr)
        RVFree(body);
    Require(role != kxr::access::Role::Viewer ||
            (!engine.ChangedState() && kxr::selectedChannel == 0));
    return 0;
}

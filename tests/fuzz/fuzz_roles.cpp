// The role decision against the dispatcher on arbitrary request texts: a
// text the decision lets a viewer send must not change the engine's state
// nor the selected channel when the dispatcher answers it.
#include "access/roles.h"
#include "binding/callback_slots.h"
#include "fuzz_dispatcher.h"
#include "module/module_state.h"

void Fuzz(const uint8_t* data, size_t size) {
    static FuzzDispatcher dispatcher;
    [[maybe_unused]] static const bool routed = [] {
        // Media commands reach the recording engine too.
        kxr::SetMediaCmdHandler(dispatcher.engine.Table().mediaCmd);
        return true;
    }();
    const std::string text = Text(data, size);
    const std::string line = text.substr(0, text.find_first_of("\r\n"));
    // Only what reaches the router: HEAD and OPTIONS never do.
    if (line.rfind("HEAD ", 0) == 0 || line.rfind("OPTIONS ", 0) == 0)
        return;
    const kxr::access::Role role = kxr::access::RequiredRole(line, std::string_view(text.c_str()));
    kxr::selectedChannel = 0;
    kxr::CHttpRequest request;
    // MakeDir and ErrorLogSave, which are not asked, need an operator anyway.
    if (dispatcher.Answer(text, &request))
        Require(role != kxr::access::Role::Viewer ||
                (!dispatcher.engine.ChangedState() && kxr::selectedChannel == 0));
}

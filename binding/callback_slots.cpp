#include "binding/callback_slots.h"

#include <atomic>

#include "binding/engine_binding.h"

namespace kxr {

namespace {

std::atomic<HttpCallbackFn> httpCallback{nullptr};
std::atomic<MediaCmdHandlerFn> mediaCmdHandler{nullptr};

} // namespace

HttpCallbackFn HttpCallback() {
    return httpCallback.load();
}

void SetHttpCallback(HttpCallbackFn callback) {
    httpCallback.store(callback);
}

// An empty slot stands for the engine, looked up at each call: the engine's
// table may not exist yet when the slot is first set, at load.
MediaCmdHandlerFn MediaCmdHandler() {
    const MediaCmdHandlerFn handler = mediaCmdHandler.load();
    return handler != nullptr ? handler : Engine().mediaCmd;
}

void SetMediaCmdHandler(MediaCmdHandlerFn handler) {
    mediaCmdHandler.store(handler);
}

int32_t RunMediaCmd(int32_t channel, MediaCmd* record) {
    return MediaCmdHandler()(channel, record);
}

} // namespace kxr

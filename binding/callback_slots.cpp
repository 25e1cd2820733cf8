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

MediaCmdHandlerFn MediaCmdHandler() {
    return mediaCmdHandler.load();
}

void SetMediaCmdHandler(MediaCmdHandlerFn handler) {
    mediaCmdHandler.store(handler != nullptr ? handler : Engine().mediaCmd);
}

int32_t RunMediaCmd(int32_t channel, MediaCmd* record) {
    MediaCmdHandlerFn handler = mediaCmdHandler.load();
    return handler(channel, record);
}

} // namespace kxr

#include "module/module_state.h"

#include <atomic>

#include "kxr/rvutil.h"
#include "module/engine_binding.h"

namespace kxr {

namespace {

RVCriticalSection moduleSection{};
std::atomic<uint8_t> moduleSectionReady{0};

std::atomic<HttpCallbackFn> httpCallback{nullptr};
std::atomic<MediaCmdHandlerFn> mediaCmdHandler{nullptr};
std::atomic<DispatchFn> dispatchOverride{nullptr};

// Loading the module: the engine is bound first, so that the media-command
// slot starts on it, then the API object is made. Statics of one file are
// destroyed in reverse order, so at unload the API object goes first.
struct ModuleImage {
    ModuleImage() {
        BindEngine();
        SetMediaCmdHandler(nullptr);
    }
    ~ModuleImage() { UnbindEngine(); }
    ModuleImage(const ModuleImage&) = delete;
    ModuleImage& operator=(const ModuleImage&) = delete;
};

ModuleImage moduleImage;
CMyHttpClient theHttpClient;

} // namespace

bool ModuleSectionReady() {
    return moduleSectionReady.load() != 0;
}

void ModuleSectionCreate() {
    if (moduleSectionReady.load() == 0) {
        rvOSInitializeCriticalSection(&moduleSection);
        moduleSectionReady.store(1);
    }
}

void ModuleSectionDelete() {
    if (moduleSectionReady.load() == 1) {
        moduleSectionReady.store(0);
        rvOSDeleteCriticalSection(&moduleSection);
    }
}

void ModuleSectionEnter() {
    if (moduleSectionReady.load() != 0) {
        rvOSEnterCriticalSection(&moduleSection);
    }
}

void ModuleSectionLeave() {
    if (moduleSectionReady.load() != 0) {
        rvOSLeaveCriticalSection(&moduleSection);
    }
}

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

CMyHttpClient& TheHttpClient() {
    return theHttpClient;
}

int32_t Dispatch(const char* requestText, char** bodyOut, int32_t* lengthOut,
                 CHttpRequest* request) {
    if (DispatchFn dispatch = dispatchOverride.load()) {
        return dispatch(requestText, bodyOut, lengthOut, request);
    }
    return theHttpClient.HandleRequest(requestText, bodyOut, lengthOut, request);
}

void SetDispatchForTest(DispatchFn dispatch) {
    dispatchOverride.store(dispatch);
}

} // namespace kxr

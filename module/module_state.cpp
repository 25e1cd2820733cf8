#include "module/module_state.h"

#include <atomic>

#include "binding/callback_slots.h"
#include "binding/engine_binding.h"
#include "kxr/rvutil.h"

namespace kxr {

namespace {

RVCriticalSection moduleSection{};
std::atomic<uint8_t> moduleSectionReady{0};

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

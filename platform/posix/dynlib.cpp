#include "platform/kxr_dynlib.h"

#include <dlfcn.h>

namespace kxr::platform {

namespace {
thread_local std::string lastError;

void Remember() {
    const char* text = dlerror();
    lastError = text != nullptr ? text : "";
}
} // namespace

void* LoadSharedLibrary(const char* path) {
    if (path == nullptr) {
        lastError = "no library path";
        return nullptr;
    }
    void* lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) {
        Remember();
    }
    return lib;
}

void* SharedLibrarySymbol(void* lib, const char* name) {
    if (lib == nullptr || name == nullptr) {
        lastError = "no library or symbol name";
        return nullptr;
    }
    dlerror();
    void* symbol = dlsym(lib, name);
    if (symbol == nullptr) {
        Remember();
        if (lastError.empty()) {
            lastError = std::string("symbol ") + name + " is null";
        }
    }
    return symbol;
}

void* SharedLibraryOrdinal(void* /*lib*/, unsigned ordinal) {
    lastError = "no entry by ordinal " + std::to_string(ordinal) + " on this platform";
    return nullptr;
}

void FreeSharedLibrary(void* lib) {
    if (lib != nullptr && dlclose(lib) != 0) {
        Remember();
    }
}

std::string SharedLibraryError() {
    return lastError;
}

} // namespace kxr::platform

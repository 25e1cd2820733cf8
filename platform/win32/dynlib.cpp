#include "platform/kxr_dynlib.h"

#include "platform/win32/win32.h"

namespace kxr::platform {

namespace {

thread_local std::string lastError;

void Remember(const std::string& what) {
    lastError = what + ": " + win32::ErrorText(GetLastError());
}

bool IsAbsolute(const std::string& path) {
    return (path.size() > 2 && path[1] == ':' && path[2] == '\\') ||
           (path.size() > 1 && path[0] == '\\' && path[1] == '\\');
}

} // namespace

void* LoadSharedLibrary(const char* path) {
    if (path == nullptr) {
        lastError = "no library path";
        return nullptr;
    }
    // The loader, unlike the file calls, wants "\\" alone.
    std::string native(path);
    for (char& c : native) {
        if (c == '/')
            c = '\\';
    }
    // A library given by its full path finds its own dependencies beside
    // it; a missing one must fail here rather than ask the user.
    const DWORD flags = IsAbsolute(native) ? LOAD_WITH_ALTERED_SEARCH_PATH : 0;
    DWORD previousMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
    const HMODULE lib = LoadLibraryExA(native.c_str(), nullptr, flags);
    if (lib == nullptr)
        Remember(native);
    SetThreadErrorMode(previousMode, nullptr);
    return reinterpret_cast<void*>(lib);
}

void* SharedLibrarySymbol(void* lib, const char* name) {
    if (lib == nullptr || name == nullptr) {
        lastError = "no library or symbol name";
        return nullptr;
    }
    const FARPROC symbol = GetProcAddress(static_cast<HMODULE>(lib), name);
    if (symbol == nullptr)
        Remember(std::string("symbol ") + name);
    return reinterpret_cast<void*>(symbol);
}

void* SharedLibraryOrdinal(void* lib, unsigned ordinal) {
    if (lib == nullptr || ordinal == 0 || ordinal > 0xFFFFu) {
        lastError = "no library or no valid ordinal";
        return nullptr;
    }
    const FARPROC symbol =
        GetProcAddress(static_cast<HMODULE>(lib), MAKEINTRESOURCEA(static_cast<WORD>(ordinal)));
    if (symbol == nullptr)
        Remember("ordinal " + std::to_string(ordinal));
    return reinterpret_cast<void*>(symbol);
}

void FreeSharedLibrary(void* lib) {
    if (lib != nullptr && !FreeLibrary(static_cast<HMODULE>(lib)))
        Remember("unloading");
}

std::string SharedLibraryError() {
    return lastError;
}

} // namespace kxr::platform

// The Windows headers as every file of this folder includes them, and the
// few helpers those files share.
#ifndef KXR_PLATFORM_WIN32_WIN32_H
#define KXR_PLATFORM_WIN32_WIN32_H

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
// Winsock 2 must come before windows.h, which would pull in the old Winsock.
#include <windows.h>
#include <winsock2.h>

#include <cstdint>
#include <string>

namespace kxr::platform::win32 {

inline uint64_t FileTimeValue(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

inline FILETIME FileTimeOf(uint64_t value) {
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(value & 0xFFFFFFFFu);
    time.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return time;
}

// A procedure of a system library that older systems may lack, looked up
// when it is first needed; null when the system has none.
template <typename Fn> Fn SystemProc(const char* module, const char* name) {
    const HMODULE library = GetModuleHandleA(module);
    if (library == nullptr)
        return nullptr;
    // Through void* so that the compiler accepts the change of function type.
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// The system's message for an error number, without the trailing line break.
inline std::string ErrorText(DWORD error) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message;
    if (length != 0 && text != nullptr)
        message.assign(text, length);
    if (text != nullptr)
        LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    if (message.empty())
        message = "error " + std::to_string(error);
    return message;
}

// The event through which another process asks this one to stop: the
// orderly stop that a console control event cannot deliver to a process
// without a console of its own.
inline std::string StopEventName(DWORD processId) {
    return "Local\\kxrStopRequest." + std::to_string(processId);
}

} // namespace kxr::platform::win32

#endif

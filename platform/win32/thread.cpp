#include "platform/kxr_thread.h"

#include "platform/win32/win32.h"

#include <new>
#include <string>

namespace kxr::platform {

namespace {

// Thrown by ThreadExitCurrent and caught where the thread began, so that
// the stack is unwound on the way out; ExitThread would skip every
// destructor, and the utility library records exit codes in one.
struct ThreadExitRequest {};

struct StartBlock {
    ThreadRoutine routine;
    void* argument;
    std::wstring name;
};

// True on threads that began in Trampoline, which alone can catch the
// exit request.
thread_local bool startedHere = false;

using SetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PCWSTR);

void NameCurrentThread(const std::wstring& name) {
    static const auto setDescription =
        win32::SystemProc<SetThreadDescriptionFn>("kernel32.dll", "SetThreadDescription");
    if (setDescription != nullptr && !name.empty())
        setDescription(GetCurrentThread(), name.c_str());
}

DWORD WINAPI Trampoline(LPVOID raw) {
    StartBlock* block = static_cast<StartBlock*>(raw);
    const ThreadRoutine routine = block->routine;
    void* const argument = block->argument;
    NameCurrentThread(block->name);
    delete block;
    startedHere = true;
    try {
        routine(argument);
    } catch (const ThreadExitRequest&) {
    }
    return 0;
}

std::wstring WideName(const char* name) {
    if (name == nullptr || name[0] == '\0')
        return std::wstring();
    const int length = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
    if (length <= 1)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name, -1, wide.data(), length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

} // namespace

bool ThreadSpawnDetached(ThreadRoutine routine, void* argument, size_t stackSize,
                         const char* name) {
    if (routine == nullptr)
        return false;
    auto* block = new (std::nothrow) StartBlock{routine, argument, {}};
    if (block == nullptr)
        return false;
    // Windows keeps a long description, so the whole name is given.
    block->name = WideName(name);
    DWORD id = 0;
    const HANDLE thread = CreateThread(nullptr, stackSize, Trampoline, block,
                                       stackSize != 0 ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0, &id);
    if (thread == nullptr) {
        delete block;
        return false;
    }
    CloseHandle(thread);
    return true;
}

void ThreadExitCurrent() {
    if (startedHere)
        throw ThreadExitRequest{};
    // A thread that another layer started has nobody to catch the request.
    ExitThread(0);
}

} // namespace kxr::platform

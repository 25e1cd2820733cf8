#include "platform/kxr_process.h"

#include "platform/win32/win32.h"

#include <mutex>
#include <unordered_map>

namespace kxr::platform {

namespace {

// What a POSIX parent reports for a child ended by SIGKILL, so that callers
// read one number on every platform.
constexpr UINT kKilledExitCode = 128 + 9;

// The handles of the processes we started, kept until they are collected:
// the id alone may name another process once the child is gone.
std::mutex childLock;
std::unordered_map<ProcessId, HANDLE>& Children() {
    static auto* children = new std::unordered_map<ProcessId, HANDLE>();
    return *children;
}

// A handle of the process with the given rights, which the caller closes: a
// copy of ours when we started it (ours then says so), so that another
// thread may collect the child meanwhile.
HANDLE OpenChild(ProcessId process, DWORD rights, bool* ours) {
    *ours = false;
    {
        std::lock_guard<std::mutex> lock(childLock);
        const auto it = Children().find(process);
        if (it != Children().end()) {
            HANDLE copy = nullptr;
            if (!DuplicateHandle(GetCurrentProcess(), it->second, GetCurrentProcess(), &copy, 0,
                                 FALSE, DUPLICATE_SAME_ACCESS))
                return nullptr;
            *ours = true;
            return copy;
        }
    }
    if (process <= 0 || process > 0xFFFFFFFFLL)
        return nullptr;
    return OpenProcess(rights, FALSE, static_cast<DWORD>(process));
}

// One argument quoted so that the child's start-up code splits the command
// line back into exactly this text.
void AppendQuoted(const std::string& arg, std::string* line) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) {
        *line += arg;
        return;
    }
    *line += '"';
    size_t backslashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count double only before a quote.
        line->append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        *line += c;
    }
    line->append(backslashes * 2, '\\');
    *line += '"';
}

} // namespace

ProcessId ProcessSpawn(const std::vector<std::string>& argv, const char* outputPath) {
    if (argv.empty() || argv[0].empty())
        return kNoProcess;
    std::string commandLine;
    for (const std::string& arg : argv) {
        if (!commandLine.empty())
            commandLine += ' ';
        AppendQuoted(arg, &commandLine);
    }

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    HANDLE output = INVALID_HANDLE_VALUE;
    if (outputPath != nullptr && outputPath[0] != '\0') {
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        // Append access alone puts every write at the end, whoever else writes.
        output = CreateFileA(outputPath, FILE_APPEND_DATA | SYNCHRONIZE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inheritable,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (output == INVALID_HANDLE_VALUE)
            return kNoProcess;
        startup.hStdOutput = output;
        startup.hStdError = output;
    }

    // A group of its own lets the child be sent Ctrl-Break alone.
    PROCESS_INFORMATION info{};
    const BOOL started =
        CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                       CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &info);
    if (output != INVALID_HANDLE_VALUE)
        CloseHandle(output);
    if (!started)
        return kNoProcess;
    CloseHandle(info.hThread);
    const ProcessId id = static_cast<ProcessId>(info.dwProcessId);
    std::lock_guard<std::mutex> lock(childLock);
    Children()[id] = info.hProcess;
    return id;
}

bool ProcessRequestStop(ProcessId process) {
    if (process <= 0 || process > 0xFFFFFFFFLL)
        return false;
    const DWORD id = static_cast<DWORD>(process);
    // A process that captures stop requests listens on its named event, which
    // reaches it with or without a console.
    const HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, win32::StopEventName(id).c_str());
    if (event != nullptr) {
        const bool set = SetEvent(event) != 0;
        CloseHandle(event);
        if (set)
            return true;
    }
    return GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, id) != 0;
}

bool ProcessKill(ProcessId process) {
    bool ours = false;
    const HANDLE handle = OpenChild(process, PROCESS_TERMINATE, &ours);
    if (handle == nullptr)
        return false;
    const bool ok = TerminateProcess(handle, kKilledExitCode) != 0;
    CloseHandle(handle);
    return ok;
}

bool ProcessWait(ProcessId process, uint32_t timeoutMs, int* exitCodeOut) {
    bool ours = false;
    const HANDLE handle =
        OpenChild(process, SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, &ours);
    if (handle == nullptr)
        return false;
    bool ended = WaitForSingleObject(handle, timeoutMs) == WAIT_OBJECT_0;
    DWORD code = 0;
    if (ended && !GetExitCodeProcess(handle, &code))
        ended = false;
    CloseHandle(handle);
    if (ended && exitCodeOut != nullptr)
        *exitCodeOut = static_cast<int>(code);
    if (ended && ours) {
        // Collected: the handle and the id go.
        std::lock_guard<std::mutex> lock(childLock);
        const auto it = Children().find(process);
        if (it != Children().end()) {
            CloseHandle(it->second);
            Children().erase(it);
        }
    }
    return ended;
}

ProcessId ProcessCurrentId() {
    return static_cast<ProcessId>(GetCurrentProcessId());
}

std::string LoadedImageDirectory(const void* address) {
    HMODULE module = nullptr;
    // Without an address the system would name the executable.
    if (address == nullptr || !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                                      GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                                  static_cast<LPCSTR>(address), &module))
        return std::string();
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::string();
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t cut = path.find_last_of("\\/");
    if (cut == std::string::npos)
        return std::string();
    // A drive's root keeps its separator: "C:" alone is a drive's current
    // directory.
    return cut > 0 && path[cut - 1] == ':' ? path.substr(0, cut + 1) : path.substr(0, cut);
}

} // namespace kxr::platform

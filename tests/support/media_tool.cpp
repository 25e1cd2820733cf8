#include "tests/support/media_tool.h"

#include "tests/support/net_test_util.h"

#include <chrono>
#include <cstdint>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/kxr_process.h"
#endif

#ifndef KXR_FFMPEG_TOOL
#error "the build names the ffmpeg tool in KXR_FFMPEG_TOOL"
#endif

namespace kxrtest {

namespace fs = std::filesystem;

namespace {

// Generous: the machine may be busy with a parallel build.
constexpr auto kToolTimeout = std::chrono::seconds(120);

std::vector<std::string> ToolArguments(const std::vector<std::string>& options,
                                       const std::string& output) {
    std::vector<std::string> argv = {KXR_FFMPEG_TOOL, "-hide_banner", "-loglevel",
                                     "error",         "-nostdin",     "-y"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(output);
    return argv;
}

#ifdef _WIN32

// Under Wine a Windows program can start a Linux program, but gets no
// handle to wait on. So a shell runs the tool and then leaves its exit code
// in a file, which appears whole (renamed into place) once the tool ended.
// Wine's own exports translate between the two kinds of path.
template <typename Fn> Fn WineExport(const char* name) {
    return reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

// A path converted by one of Wine's exports, which allocate it on the
// process heap; empty when it failed or the export is missing.
template <typename Char, typename Arg>
std::basic_string<Char> WineName(const char* exportName, const Arg* path) {
    const auto convert = WineExport<Char* (*)(const Arg*)>(exportName);
    Char* name = convert != nullptr ? convert(path) : nullptr;
    if (name == nullptr)
        return {};
    std::basic_string<Char> out = name;
    HeapFree(GetProcessHeap(), 0, name);
    return out;
}

std::wstring Wide(const std::string& utf8) {
    std::wstring out(utf8.size(), L'\0');
    out.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(),
                                                       static_cast<int>(utf8.size()), out.data(),
                                                       static_cast<int>(out.size()))));
    return out;
}

// The Linux path of a Windows path (its last part need not exist yet).
std::string UnixPath(const fs::path& path) {
    return WineName<char>("wine_get_unix_file_name", path.wstring().c_str());
}

std::string ShellQuoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string RunTool(const std::vector<std::string>& options, const fs::path& output,
                    const TempDir& work) {
    if (WineExport<void*>("wine_get_unix_file_name") == nullptr)
        return "the ffmpeg tool is reached only from a Windows program under Wine";
    const std::string target = UnixPath(output);
    const std::string log = UnixPath(work.Path() / "tool.log");
    const std::string status = UnixPath(work.Path() / "status");
    const std::string script = UnixPath(work.Path() / "make.sh");
    const std::wstring shell = WineName<wchar_t>("wine_get_dos_file_name", "/bin/sh");
    if (target.empty() || log.empty() || status.empty() || script.empty() || shell.empty())
        return "Wine has no Linux path for " + output.string();

    std::string text;
    for (const std::string& arg : ToolArguments(options, target))
        text += ShellQuoted(arg) + ' ';
    text += ">" + ShellQuoted(log) + " 2>&1\n";
    text += "echo $? >" + ShellQuoted(status + ".new") + " && mv " + ShellQuoted(status + ".new") +
            ' ' + ShellQuoted(status) + '\n';
    if (!WriteFile(work.Path() / "make.sh", text))
        return "cannot write the tool's script";

    std::wstring commandLine = L"\"" + shell + L"\" \"" + Wide(script) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return "Wine did not start /bin/sh (error " + std::to_string(GetLastError()) + ")";
    // A Linux process comes without handles; close any all the same.
    for (HANDLE handle : {info.hThread, info.hProcess})
        if (handle != nullptr)
            CloseHandle(handle);

    const fs::path done = work.Path() / "status";
    const auto until = std::chrono::steady_clock::now() + kToolTimeout;
    std::error_code ec;
    while (!fs::exists(done, ec)) {
        if (std::chrono::steady_clock::now() > until)
            return "the ffmpeg tool did not end within 120 s";
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (ReadFile(done) != "0\n")
        return "the ffmpeg tool failed (exit " + ReadFile(done) +
               "): " + ReadFile(work.Path() / "tool.log");
    return std::string();
}

#else

std::string RunTool(const std::vector<std::string>& options, const fs::path& output,
                    const TempDir& work) {
    namespace plat = kxr::platform;
    const fs::path log = work.Path() / "tool.log";
    const plat::ProcessId tool =
        plat::ProcessSpawn(ToolArguments(options, output.string()), log.string().c_str());
    if (tool == plat::kNoProcess)
        return "the ffmpeg tool " KXR_FFMPEG_TOOL " could not be started";
    int code = -1;
    if (!plat::ProcessWait(tool, static_cast<uint32_t>(kToolTimeout.count() * 1000), &code)) {
        plat::ProcessKill(tool);
        plat::ProcessWait(tool, 10000, &code);
        return "the ffmpeg tool did not end within 120 s";
    }
    if (code != 0)
        return "the ffmpeg tool failed (exit " + std::to_string(code) + "): " + ReadFile(log);
    return std::string();
}

#endif

} // namespace

std::string MakeMedia(const std::vector<std::string>& options, const fs::path& output) {
    const TempDir work("media-tool");
    return RunTool(options, output, work);
}

bool JpegSize(const std::string& bytes, int* width, int* height) {
    auto at = [&bytes](size_t k) { return static_cast<unsigned char>(bytes[k]); };
    if (bytes.size() < 4 || at(0) != 0xFF || at(1) != 0xD8)
        return false;
    for (size_t i = 2; i + 9 < bytes.size() && at(i) == 0xFF;
         i += 2 + (at(i + 2) << 8 | at(i + 3))) {
        const unsigned m = at(i + 1); // a start of frame: C0 to CF but C4, C8 and CC
        if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) {
            *height = at(i + 5) << 8 | at(i + 6);
            *width = at(i + 7) << 8 | at(i + 8);
            return true;
        }
    }
    return false;
}

} // namespace kxrtest

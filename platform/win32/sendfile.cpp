#include "platform/kxr_sendfile.h"

#include "platform/win32/win32.h"

#include <mswsock.h>
#include <versionhelpers.h>

namespace kxr::platform {

namespace {

// Client editions run at most two TransmitFile calls at a time and queue the
// rest: there a plain copy serves many clients better.
bool ServerEdition() {
    static const bool server = IsWindowsServer();
    return server;
}

} // namespace

int64_t SocketSendFile(SocketHandle socket, FileHandle file, size_t count) {
    if (!ServerEdition())
        return kSendFileRefused;
    const HANDLE handle = reinterpret_cast<HANDLE>(file);
    LARGE_INTEGER zero{};
    LARGE_INTEGER position{};
    LARGE_INTEGER size{};
    if (!SetFilePointerEx(handle, zero, &position, FILE_CURRENT) || !GetFileSizeEx(handle, &size))
        return kSendFileRefused;
    const int64_t left = size.QuadPart - position.QuadPart;
    if (left <= 0)
        return 0;
    // One call sends at most 2 GiB - 1.
    constexpr int64_t kMostPerCall = 0x7FFFFFFE;
    int64_t want = static_cast<int64_t>(count) < left ? static_cast<int64_t>(count) : left;
    if (want > kMostPerCall)
        want = kMostPerCall;
    if (!TransmitFile(static_cast<SOCKET>(socket), handle, static_cast<DWORD>(want), 0, nullptr,
                      nullptr, TF_USE_KERNEL_APC))
        return -1;
    LARGE_INTEGER next{};
    next.QuadPart = position.QuadPart + want;
    // A position left behind would send the same bytes again.
    return SetFilePointerEx(handle, next, nullptr, FILE_BEGIN) ? want : -1;
}

} // namespace kxr::platform

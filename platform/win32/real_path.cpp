#include "platform/kxr_real_path.h"

#include "platform/win32/win32.h"

#include <string>

namespace kxr::platform {

namespace {

// Names come in the system's code page, as every other file call takes them.
std::wstring Widen(std::string_view text) {
    const int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                            length);
    return wide;
}

// UTF-8 keeps every name the system can return, so two final paths compare
// as the names on the disk do.
std::string Utf8(std::wstring_view wide) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(),
                            length, nullptr, nullptr);
    return text;
}

bool FinalPath(HANDLE handle, std::wstring* out) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD length =
            GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return false;
        if (length < buffer.size()) {
            buffer.resize(length);
            *out = std::move(buffer);
            return true;
        }
        // Too small: length is the room needed, terminator included.
        buffer.assign(length, L'\0');
    }
    return false;
}

} // namespace

bool ResolvePath(std::string_view path, std::string* out) {
    if (out == nullptr || path.empty() || path.find('\0') != std::string_view::npos)
        return false;
    const std::wstring wide = Widen(path);
    if (wide.empty())
        return false;
    // Attributes only, shared with everyone: the file is looked at, not used.
    // Backup semantics let a directory be opened too; links are followed.
    const HANDLE handle = CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    std::wstring final;
    const bool ok = GetFileType(handle) == FILE_TYPE_DISK && FinalPath(handle, &final);
    CloseHandle(handle);
    if (!ok)
        return false;
    constexpr std::wstring_view kUnc = L"\\\\?\\UNC\\";
    constexpr std::wstring_view kLocal = L"\\\\?\\";
    if (final.compare(0, kUnc.size(), kUnc) == 0)
        final.replace(0, kUnc.size(), L"\\\\");
    else if (final.compare(0, kLocal.size(), kLocal) == 0)
        final.erase(0, kLocal.size());
    *out = Utf8(final);
    return !out->empty();
}

} // namespace kxr::platform

#include "platform/common/dir_order.h"
#include "platform/kxr_file.h"

#include "platform/kxr_path.h"
#include "platform/win32/file_status.h"

namespace kxr::platform {

namespace win32 {

namespace {

std::string_view LastComponent(std::string_view path) {
    while (path.size() > 1 && IsPathSeparator(path.back()))
        path.remove_suffix(1);
    const size_t cut = path.find_last_of("/\\:");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

void Fill(DWORD attributes, const FILETIME& creation, const FILETIME& access, const FILETIME& write,
          uint64_t size, std::string_view name, FileStatus* out) {
    *out = FileStatus{};
    out->attributes = attributes;
    out->creationTime = FileTimeValue(creation);
    out->lastAccessTime = FileTimeValue(access);
    out->lastWriteTime = FileTimeValue(write);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        out->kind = FileKind::Directory;
    } else if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0 || IsReservedDeviceName(name)) {
        out->kind = FileKind::Other;
    } else {
        out->kind = FileKind::Regular;
        out->size = size;
    }
}

// What the link points to; false when it points nowhere.
bool StatusOfTarget(const std::string& path, std::string_view name, FileStatus* out) {
    // Backup semantics let a directory be opened too.
    const HANDLE handle = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    if (!ok)
        return false;
    Fill(info.dwFileAttributes, info.ftCreationTime, info.ftLastAccessTime, info.ftLastWriteTime,
         (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow, name, out);
    return true;
}

} // namespace

bool NamesDevice(std::string_view path) {
    if (path.size() >= 4 && IsPathSeparator(path[0]) && IsPathSeparator(path[1]) &&
        (path[2] == '.' || path[2] == '?') && IsPathSeparator(path[3])) {
        if (path[2] == '.')
            return true;
        // "\\?\C:\..." and "\\?\UNC\..." are long spellings of ordinary paths.
        const std::string_view rest = path.substr(4);
        const bool drive = rest.size() >= 2 && rest[1] == ':';
        std::string head(rest.substr(0, 4));
        for (char& c : head)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const bool unc =
            head.size() == 4 && head.compare(0, 3, "UNC") == 0 && IsPathSeparator(head[3]);
        return !drive && !unc;
    }
    return IsReservedDeviceName(LastComponent(path));
}

bool StatusOfPath(const std::string& path, FileStatus* out) {
    *out = FileStatus{};
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return false;
    const std::string_view name = LastComponent(path);
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return StatusOfTarget(path, name, out);
    Fill(data.dwFileAttributes, data.ftCreationTime, data.ftLastAccessTime, data.ftLastWriteTime,
         (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow, name, out);
    return true;
}

void StatusOfFound(const std::string& dir, const WIN32_FIND_DATAA& found, FileStatus* out) {
    const std::string_view name(found.cFileName);
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        // A dangling link still shows up, as something that is no file.
        if (!StatusOfTarget(dir + found.cFileName, name, out)) {
            *out = FileStatus{};
            out->kind = FileKind::Other;
        }
        out->attributes |= kAttrReparsePoint;
        return;
    }
    Fill(found.dwFileAttributes, found.ftCreationTime, found.ftLastAccessTime,
         found.ftLastWriteTime,
         (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow, name, out);
}

} // namespace win32

bool ListDirectory(const char* pattern, std::vector<DirEntry>* out) {
    if (out == nullptr)
        return false;
    out->clear();
    if (pattern == nullptr || pattern[0] == '\0')
        return false;
    const std::string search(pattern);
    // "C:*.mov" searches the current directory of drive C.
    const size_t cut = search.find_last_of("/\\:");
    const std::string directory =
        cut == std::string::npos ? std::string() : search.substr(0, cut + 1);
    if (directory.size() == search.size())
        return false;

    // The system matches the names, as every Windows program does; the
    // order is ours, since file systems differ in theirs.
    WIN32_FIND_DATAA found;
    const HANDLE handle =
        FindFirstFileExA(search.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                         FIND_FIRST_EX_LARGE_FETCH);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    do {
        DirEntry entry;
        entry.name = found.cFileName;
        win32::StatusOfFound(directory, found, &entry.status);
        out->push_back(std::move(entry));
    } while (FindNextFileA(handle, &found));
    FindClose(handle);
    SortListing(out);
    return !out->empty();
}

} // namespace kxr::platform

#include "platform/kxr_file.h"

#include "platform/win32/file_status.h"

namespace kxr::platform {

namespace {

// Others may read, write, rename and delete while a file is open, as on
// POSIX, so that a file being served can still be replaced.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE Native(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

DWORD CreationOf(FileDisposition disposition) {
    switch (disposition) {
    case FileDisposition::CreateNew:
        return CREATE_NEW;
    case FileDisposition::CreateAlways:
        return CREATE_ALWAYS;
    case FileDisposition::OpenExisting:
        return OPEN_EXISTING;
    case FileDisposition::OpenAlways:
        return OPEN_ALWAYS;
    case FileDisposition::TruncateExisting:
        return TRUNCATE_EXISTING;
    }
    return OPEN_EXISTING;
}

// Identity of an existing file: its volume and index.
bool Identity(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
    const HANDLE handle = CreateFileA(path, FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = GetFileInformationByHandle(handle, info) != 0;
    CloseHandle(handle);
    return ok;
}

} // namespace

bool QueryFileStatus(const char* path, FileStatus* out) {
    FileStatus ignored;
    if (out == nullptr)
        out = &ignored;
    *out = FileStatus{};
    if (path == nullptr || path[0] == '\0')
        return false;
    return win32::StatusOfPath(path, out);
}

FileHandle FileOpen(const char* path, uint32_t access, FileDisposition disposition) {
    // Opening a device or a pipe may wait or act on it; such a name is no file.
    if (path == nullptr || path[0] == '\0' || win32::NamesDevice(path))
        return kInvalidFile;
    DWORD rights = 0;
    if ((access & kFileRead) != 0)
        rights |= GENERIC_READ;
    if ((access & kFileWrite) != 0 || disposition == FileDisposition::TruncateExisting)
        rights |= GENERIC_WRITE;
    if (rights == 0)
        rights = GENERIC_READ;
    // Without backup semantics a directory cannot be opened at all.
    const HANDLE handle = CreateFileA(path, rights, kShareAll, nullptr, CreationOf(disposition),
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return kInvalidFile;
    // Whatever still opens as no disk file (a link to a device) is refused.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return kInvalidFile;
    }
    return reinterpret_cast<FileHandle>(handle);
}

int64_t FileRead(FileHandle file, void* buffer, size_t count) {
    if (file == kInvalidFile)
        return -1;
    const DWORD chunk = count > 0x7FFFFFFFu ? 0x7FFFFFFFu : static_cast<DWORD>(count);
    DWORD done = 0;
    if (!ReadFile(Native(file), buffer, chunk, &done, nullptr))
        return -1;
    return done;
}

int64_t FileWrite(FileHandle file, const void* buffer, size_t count) {
    if (file == kInvalidFile)
        return -1;
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    size_t total = 0;
    while (total < count) {
        const size_t left = count - total;
        const DWORD chunk = left > 0x7FFFFFFFu ? 0x7FFFFFFFu : static_cast<DWORD>(left);
        DWORD done = 0;
        if (!WriteFile(Native(file), bytes + total, chunk, &done, nullptr) || done == 0)
            return -1;
        total += done;
    }
    return static_cast<int64_t>(total);
}

int64_t FileSeek(FileHandle file, int64_t offset, SeekOrigin origin) {
    if (file == kInvalidFile)
        return -1;
    const DWORD method = origin == SeekOrigin::Begin     ? FILE_BEGIN
                         : origin == SeekOrigin::Current ? FILE_CURRENT
                                                         : FILE_END;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER position;
    if (!SetFilePointerEx(Native(file), distance, &position, method))
        return -1;
    return position.QuadPart;
}

bool FileSize(FileHandle file, uint64_t* sizeOut) {
    LARGE_INTEGER size;
    if (file == kInvalidFile || sizeOut == nullptr || !GetFileSizeEx(Native(file), &size))
        return false;
    *sizeOut = static_cast<uint64_t>(size.QuadPart);
    return true;
}

bool FileSync(FileHandle file) {
    return file != kInvalidFile && FlushFileBuffers(Native(file)) != 0;
}

bool FileClose(FileHandle file) {
    return file != kInvalidFile && CloseHandle(Native(file)) != 0;
}

bool FileCopy(const char* source, const char* target, bool failIfExists) {
    if (source == nullptr || target == nullptr)
        return false;
    BY_HANDLE_FILE_INFORMATION from;
    BY_HANDLE_FILE_INFORMATION to;
    if (!Identity(source, &from) || (from.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    // Copying a file onto itself would truncate the only copy.
    if (Identity(target, &to) && to.dwVolumeSerialNumber == from.dwVolumeSerialNumber &&
        to.nFileIndexHigh == from.nFileIndexHigh && to.nFileIndexLow == from.nFileIndexLow)
        return false;
    // The system copy keeps the modification time and the attributes.
    return CopyFileA(source, target, failIfExists ? TRUE : FALSE) != 0;
}

bool DirectoryMake(const char* path, uint32_t /*mode*/) {
    // Windows directories carry no permission bits; every directory can be
    // entered.
    return path != nullptr && path[0] != '\0' && CreateDirectoryA(path, nullptr) != 0;
}

bool DirectoryChange(const char* path) {
    return path != nullptr && path[0] != '\0' && SetCurrentDirectoryA(path) != 0;
}

std::string DirectoryCurrent() {
    DWORD size = GetCurrentDirectoryA(0, nullptr);
    for (int attempt = 0; size != 0 && attempt < 4; ++attempt) {
        std::string buffer(size, '\0');
        const DWORD length = GetCurrentDirectoryA(size, buffer.data());
        if (length == 0)
            break;
        if (length < size) {
            buffer.resize(length);
            return buffer;
        }
        // Another thread changed the directory to a longer one meanwhile.
        size = length;
    }
    return std::string();
}

} // namespace kxr::platform

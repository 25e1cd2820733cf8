// Files and directory search over the platform layer, with Windows-style
// handles, flags and find data.
#include "kxr/rvutil.h"

#include "platform/kxr_file.h"
#include "rv_handles.h"

#include <cstring>
#include <string>
#include <vector>

namespace plat = kxr::platform;

namespace {

constexpr uint32_t kCreateNew = 1;
constexpr uint32_t kOpenAlways = 4;
constexpr uint32_t kTruncateExisting = 5;
constexpr uint32_t kGenericAll = 0x10000000u;

struct FileObject : rvutil::HandleObject {
    static constexpr rvutil::HandleKind kKind = rvutil::HandleKind::File;
    explicit FileObject(plat::FileHandle f) : HandleObject(kKind), file(f) {}
    ~FileObject() override { plat::FileClose(file); }
    plat::FileHandle file;
};

struct SearchObject : rvutil::HandleObject {
    static constexpr rvutil::HandleKind kKind = rvutil::HandleKind::Search;
    SearchObject() : HandleObject(kKind) {}
    std::vector<plat::DirEntry> entries;
    size_t next = 0;
};

bool Disposition(uint32_t code, plat::FileDisposition* out) {
    switch (code) {
    case kCreateNew:
        *out = plat::FileDisposition::CreateNew;
        return true;
    case RV_CREATE_ALWAYS:
        *out = plat::FileDisposition::CreateAlways;
        return true;
    case RV_OPEN_EXISTING:
        *out = plat::FileDisposition::OpenExisting;
        return true;
    case kOpenAlways:
        *out = plat::FileDisposition::OpenAlways;
        return true;
    case kTruncateExisting:
        *out = plat::FileDisposition::TruncateExisting;
        return true;
    default:
        return false;
    }
}

void Fill(const plat::DirEntry& entry, RVFindData* data) {
    data->attributes = entry.status.attributes;
    data->creationTime = entry.status.creationTime;
    data->lastAccessTime = entry.status.lastAccessTime;
    data->lastWriteTime = entry.status.lastWriteTime;
    data->size = entry.status.size;
    const size_t n = entry.name.size() < RV_MAX_PATH - 1 ? entry.name.size() : RV_MAX_PATH - 1;
    std::memcpy(data->name, entry.name.data(), n);
    data->name[n] = '\0';
}

} // namespace

extern "C" {

int32_t rvOSFileExists(const char* path) {
    return plat::PathExists(path) ? 1 : 0;
}

int32_t rvOSFileIsDir(const char* path) {
    return plat::PathIsDirectory(path) ? 1 : 0;
}

RVHANDLE rvOSFindFirstFile(const char* pattern, RVFindData* findData) {
    if (findData == nullptr)
        return RV_INVALID_HANDLE;
    auto search = std::make_shared<SearchObject>();
    if (!plat::ListDirectory(pattern, &search->entries))
        return RV_INVALID_HANDLE;
    Fill(search->entries[0], findData);
    search->next = 1;
    RVHANDLE handle = rvutil::RegisterHandle(search);
    return handle != nullptr ? handle : RV_INVALID_HANDLE;
}

int32_t rvOSFindNextFile(RVHANDLE search, RVFindData* findData) {
    auto object = rvutil::Lookup<SearchObject>(search);
    if (!object || findData == nullptr || object->next >= object->entries.size())
        return 0;
    Fill(object->entries[object->next++], findData);
    return 1;
}

int32_t rvOSFindClose(RVHANDLE search) {
    return rvutil::ReleaseHandle(search, rvutil::HandleKind::Search) ? 1 : 0;
}

RVHANDLE rvOSCreateFile(const char* path, uint32_t access, uint32_t /*share*/, void* /*security*/,
                        uint32_t disposition, uint32_t /*attributes*/, RVHANDLE /*templateFile*/) {
    plat::FileDisposition how;
    if (!Disposition(disposition, &how))
        return RV_INVALID_HANDLE;
    uint32_t mode = 0;
    if ((access & (RV_GENERIC_READ | kGenericAll)) != 0)
        mode |= plat::kFileRead;
    if ((access & (RV_GENERIC_WRITE | kGenericAll)) != 0)
        mode |= plat::kFileWrite;
    const plat::FileHandle file = plat::FileOpen(path, mode, how);
    if (file == plat::kInvalidFile)
        return RV_INVALID_HANDLE;
    RVHANDLE handle = rvutil::RegisterHandle(std::make_shared<FileObject>(file));
    return handle != nullptr ? handle : RV_INVALID_HANDLE;
}

int32_t rvOSReadFile(RVHANDLE file, void* buffer, uint32_t count, uint32_t* countReadOut,
                     void* overlapped) {
    if (countReadOut != nullptr)
        *countReadOut = 0;
    auto object = rvutil::Lookup<FileObject>(file);
    // Only synchronous reads exist here.
    if (!object || overlapped != nullptr || (buffer == nullptr && count != 0))
        return 0;
    auto* bytes = static_cast<unsigned char*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        const int64_t n = plat::FileRead(object->file, bytes + done, count - done);
        if (n < 0)
            return 0;
        if (n == 0)
            break;
        done += static_cast<uint32_t>(n);
        if (countReadOut != nullptr)
            *countReadOut = done;
    }
    return 1;
}

uint32_t rvOSGetFileSize(RVHANDLE file, uint32_t* highOut) {
    int64_t size = 0;
    if (!rvOSGetFileSizeEx(file, &size))
        return 0xFFFFFFFFu;
    if (highOut != nullptr)
        *highOut = static_cast<uint32_t>(static_cast<uint64_t>(size) >> 32);
    return static_cast<uint32_t>(static_cast<uint64_t>(size));
}

int32_t rvOSGetFileSizeEx(RVHANDLE file, int64_t* sizeOut) {
    auto object = rvutil::Lookup<FileObject>(file);
    uint64_t size = 0;
    if (!object || sizeOut == nullptr || !plat::FileSize(object->file, &size))
        return 0;
    *sizeOut = static_cast<int64_t>(size);
    return 1;
}

int32_t rvOSCloseFile(RVHANDLE file) {
    return rvutil::ReleaseHandle(file, rvutil::HandleKind::File) ? 1 : 0;
}

int32_t rvOSCopyFile(const char* source, const char* target, int32_t failIfExists) {
    return plat::FileCopy(source, target, failIfExists != 0) ? 1 : 0;
}

int32_t rvOSMakeDir(const char* path, uint32_t mode) {
    return plat::DirectoryMake(path, mode) ? 0 : -1;
}

int32_t rvOSChangeDir(const char* path) {
    return plat::DirectoryChange(path) ? 0 : -1;
}

} // extern "C"

#include "platform/common/dir_order.h"
#include "platform/kxr_file.h"

#include "platform/kxr_path.h"
#include "platform/kxr_time.h"
#include "platform/posix/file_status.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <memory>

namespace kxr::platform {

namespace posix {

namespace {

uint64_t FileTimeOf(int64_t seconds, int64_t nanoseconds) {
    return FileTimeFromUnix(seconds, static_cast<uint32_t>(nanoseconds));
}

bool IsHiddenName(std::string_view name) {
    return !name.empty() && name[0] == '.' && name != "." && name != "..";
}

std::string_view LastComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

} // namespace

bool StatusOfEntry(const std::string& nativePath, std::string_view name, FileStatus* out) {
    *out = FileStatus{};
    uint32_t mode = 0;
#ifdef STATX_BTIME
    struct statx sx {};
    if (statx(AT_FDCWD, nativePath.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
        return false;
    mode = sx.stx_mode;
    out->size = sx.stx_size;
    out->lastAccessTime = FileTimeOf(sx.stx_atime.tv_sec, sx.stx_atime.tv_nsec);
    out->lastWriteTime = FileTimeOf(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
    out->creationTime = (sx.stx_mask & STATX_BTIME) != 0
                            ? FileTimeOf(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec)
                            : FileTimeOf(sx.stx_ctime.tv_sec, sx.stx_ctime.tv_nsec);
#else
    struct stat st {};
    if (stat(nativePath.c_str(), &st) != 0)
        return false;
    mode = st.st_mode;
    out->size = static_cast<uint64_t>(st.st_size);
    out->lastAccessTime = FileTimeOf(st.st_atim.tv_sec, st.st_atim.tv_nsec);
    out->lastWriteTime = FileTimeOf(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    out->creationTime = FileTimeOf(st.st_ctim.tv_sec, st.st_ctim.tv_nsec);
#endif
    if (S_ISDIR(mode)) {
        out->kind = FileKind::Directory;
        out->attributes = kAttrDirectory;
        out->size = 0;
    } else if (S_ISREG(mode)) {
        out->kind = FileKind::Regular;
        out->attributes = kAttrArchive;
    } else {
        out->kind = FileKind::Other;
    }
    if ((mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        out->attributes |= kAttrReadOnly;
    if (IsHiddenName(name))
        out->attributes |= kAttrHidden;
    return true;
}

bool StatusOfPath(const std::string& nativePath, FileStatus* out) {
    return StatusOfEntry(nativePath, LastComponent(nativePath), out);
}

bool MatchWildcard(std::string_view pattern, std::string_view name) {
    if (pattern == "*.*")
        return true;
    // Greedy walk that backs up to the last "*" on a mismatch.
    size_t p = 0, n = 0;
    size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace posix

namespace {

// The listing's own type when the file system gives one, else a look at the
// entry itself.
bool IsLink(const dirent& entry, const std::string& path) {
    if (entry.d_type != DT_UNKNOWN)
        return entry.d_type == DT_LNK;
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

} // namespace

bool ListDirectory(const char* pattern, std::vector<DirEntry>* out) {
    if (out == nullptr)
        return false;
    out->clear();
    if (pattern == nullptr || pattern[0] == '\0')
        return false;
    const std::string native = NativePath(pattern);
    const size_t slash = native.rfind('/');
    const std::string directory =
        slash == std::string::npos ? std::string() : native.substr(0, slash + 1);
    const std::string namePattern = slash == std::string::npos ? native : native.substr(slash + 1);
    if (namePattern.empty())
        return false;

    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(directory.empty() ? "." : directory.c_str()),
                                            closedir);
    if (!dir)
        return false;
    while (const dirent* d = readdir(dir.get())) {
        const std::string_view name(d->d_name);
        if (!posix::MatchWildcard(namePattern, name))
            continue;
        DirEntry entry;
        entry.name.assign(name);
        // A dangling link still shows up, as something that is no file.
        if (!posix::StatusOfEntry(directory + entry.name, name, &entry.status))
            entry.status.kind = FileKind::Other;
        if (IsLink(*d, directory + entry.name))
            entry.status.attributes |= kAttrReparsePoint;
        out->push_back(std::move(entry));
    }
    SortListing(out);
    return !out->empty();
}

} // namespace kxr::platform

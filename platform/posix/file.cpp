#include "platform/kxr_file.h"

#include "platform/kxr_path.h"
#include "platform/posix/file_status.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kxr::platform {

namespace {

int OpenFlags(uint32_t access, FileDisposition disposition) {
    int flags = O_CLOEXEC | O_NONBLOCK;
    if ((access & kFileRead) != 0 && (access & kFileWrite) != 0)
        flags |= O_RDWR;
    else if ((access & kFileWrite) != 0)
        flags |= O_WRONLY;
    else
        flags |= O_RDONLY;
    switch (disposition) {
    case FileDisposition::CreateNew:
        flags |= O_CREAT | O_EXCL;
        break;
    case FileDisposition::CreateAlways:
        flags |= O_CREAT | O_TRUNC;
        break;
    case FileDisposition::OpenExisting:
        break;
    case FileDisposition::OpenAlways:
        flags |= O_CREAT;
        break;
    case FileDisposition::TruncateExisting:
        flags |= O_TRUNC;
        break;
    }
    return flags;
}

int Fd(FileHandle file) {
    return static_cast<int>(file);
}

} // namespace

bool QueryFileStatus(const char* path, FileStatus* out) {
    FileStatus ignored;
    if (out == nullptr)
        out = &ignored;
    *out = FileStatus{};
    if (path == nullptr || path[0] == '\0')
        return false;
    return posix::StatusOfPath(NativePath(path), out);
}

FileHandle FileOpen(const char* path, uint32_t access, FileDisposition disposition) {
    if (path == nullptr || path[0] == '\0')
        return kInvalidFile;
    const std::string native = NativePath(path);
    int fd;
    do {
        // Not blocking, so that opening a FIFO cannot hang.
        fd = open(native.c_str(), OpenFlags(access, disposition), 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return kInvalidFile;
    // Only regular files are opened, and on those O_NONBLOCK changes
    // nothing: it can stay.
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return kInvalidFile;
    }
    return static_cast<FileHandle>(fd);
}

int64_t FileRead(FileHandle file, void* buffer, size_t count) {
    if (file == kInvalidFile)
        return -1;
    ssize_t n;
    do {
        n = read(Fd(file), buffer, count);
    } while (n < 0 && errno == EINTR);
    return n;
}

int64_t FileWrite(FileHandle file, const void* buffer, size_t count) {
    if (file == kInvalidFile)
        return -1;
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = write(Fd(file), bytes + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return -1;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

int64_t FileSeek(FileHandle file, int64_t offset, SeekOrigin origin) {
    if (file == kInvalidFile)
        return -1;
    const int whence = origin == SeekOrigin::Begin     ? SEEK_SET
                       : origin == SeekOrigin::Current ? SEEK_CUR
                                                       : SEEK_END;
    return lseek(Fd(file), static_cast<off_t>(offset), whence);
}

bool FileSize(FileHandle file, uint64_t* sizeOut) {
    struct stat st {};
    if (file == kInvalidFile || sizeOut == nullptr || fstat(Fd(file), &st) != 0)
        return false;
    *sizeOut = static_cast<uint64_t>(st.st_size);
    return true;
}

bool FileSync(FileHandle file) {
    return file != kInvalidFile && fsync(Fd(file)) == 0;
}

bool FileClose(FileHandle file) {
    return file != kInvalidFile && close(Fd(file)) == 0;
}

bool FileCopy(const char* source, const char* target, bool failIfExists) {
    if (source == nullptr || target == nullptr)
        return false;
    const std::string from = NativePath(source);
    const std::string to = NativePath(target);
    const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    struct stat src {};
    struct stat dst {};
    // Opening a file onto itself would truncate the only copy.
    if (fstat(in, &src) != 0 || !S_ISREG(src.st_mode) ||
        (stat(to.c_str(), &dst) == 0 && dst.st_dev == src.st_dev && dst.st_ino == src.st_ino)) {
        close(in);
        return false;
    }
    const int out =
        open(to.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : O_TRUNC),
             src.st_mode & 0777);
    if (out < 0) {
        close(in);
        return false;
    }
    bool ok = true;
    char buffer[65536];
    for (;;) {
        const int64_t n = FileRead(static_cast<FileHandle>(in), buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0 || FileWrite(static_cast<FileHandle>(out), buffer, static_cast<size_t>(n)) != n) {
            ok = false;
            break;
        }
    }
    if (ok) {
        const timespec times[2] = {src.st_atim, src.st_mtim};
        futimens(out, times);
        fchmod(out, src.st_mode & 0777);
    }
    close(in);
    if (close(out) != 0)
        ok = false;
    return ok;
}

bool DirectoryMake(const char* path, uint32_t mode) {
    if (path == nullptr || path[0] == '\0')
        return false;
    const mode_t bits = static_cast<mode_t>(mode & 07777);
    return mkdir(NativePath(path).c_str(), bits | ((bits & 0444) >> 2)) == 0;
}

bool DirectoryChange(const char* path) {
    return path != nullptr && path[0] != '\0' && chdir(NativePath(path).c_str()) == 0;
}

std::string DirectoryCurrent() {
    std::string buffer(256, '\0');
    for (;;) {
        if (getcwd(buffer.data(), buffer.size()) != nullptr) {
            buffer.resize(std::char_traits<char>::length(buffer.c_str()));
            return buffer;
        }
        if (errno != ERANGE)
            return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace kxr::platform

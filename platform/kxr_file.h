// Files and directories. Every path accepts "\\" and "/" as separators.
#ifndef KXR_PLATFORM_FILE_H
#define KXR_PLATFORM_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kxr::platform {

// Attribute bits with the values hosts know from Windows. On POSIX they are
// derived: a directory or a regular file (archive), read-only when no write
// permission bit is set, hidden when the name begins with ".".
inline constexpr uint32_t kAttrReadOnly = 0x1;
inline constexpr uint32_t kAttrHidden = 0x2;
inline constexpr uint32_t kAttrDirectory = 0x10;
inline constexpr uint32_t kAttrArchive = 0x20;
// Set by ListDirectory on an entry that is a link (a symbolic link, a
// junction); the rest of its status describes what the link points to.
inline constexpr uint32_t kAttrReparsePoint = 0x400;

enum class FileKind { Missing, Regular, Directory, Other };

struct FileStatus {
    FileKind kind = FileKind::Missing;
    uint64_t size = 0;
    uint32_t attributes = 0;
    // File times (kxr_time.h). Where the system keeps no creation time the
    // time of the last status change stands in.
    uint64_t creationTime = 0;
    uint64_t lastAccessTime = 0;
    uint64_t lastWriteTime = 0;
};

// False when nothing of that name exists (out then says Missing). Links are
// followed.
bool QueryFileStatus(const char* path, FileStatus* out);
bool PathExists(const char* path);
bool PathIsDirectory(const char* path);

struct DirEntry {
    std::string name;
    FileStatus status;
};

// Lists the directory part of pattern, keeping the names that its last
// component matches: "*" any run of characters, "?" any one, letters compared
// without regard to case, "*.*" every name. "." and ".." are listed when they
// match. Entries come "." and ".." first, then by name without regard to case.
// False when the directory cannot be read or no name matches.
bool ListDirectory(const char* pattern, std::vector<DirEntry>* out);

// ---- open files ----

using FileHandle = intptr_t;
inline constexpr FileHandle kInvalidFile = -1;

inline constexpr uint32_t kFileRead = 0x1;
inline constexpr uint32_t kFileWrite = 0x2;

enum class FileDisposition { CreateNew, CreateAlways, OpenExisting, OpenAlways, TruncateExisting };
enum class SeekOrigin { Begin, Current, End };

// Opens a regular file, and nothing else: a directory, FIFO, socket, pipe or
// device is refused, and the open never waits for one (a scan may come upon
// any of them). kInvalidFile on failure.
FileHandle FileOpen(const char* path, uint32_t access, FileDisposition disposition);
// Bytes read, 0 at the end of the file, -1 on error.
int64_t FileRead(FileHandle file, void* buffer, size_t count);
// Writes every byte; the count or -1.
int64_t FileWrite(FileHandle file, const void* buffer, size_t count);
// The new position, or -1.
int64_t FileSeek(FileHandle file, int64_t offset, SeekOrigin origin);
bool FileSize(FileHandle file, uint64_t* sizeOut);
// Puts the written bytes on the disk.
bool FileSync(FileHandle file);
bool FileClose(FileHandle file);

// ---- whole files and directories ----

// Copies contents and modification time; with failIfExists false an existing
// target is replaced.
bool FileCopy(const char* source, const char* target, bool failIfExists);
// Creates one directory. The mode's read bits also grant search permission,
// so a directory made readable can be entered, as on Windows.
bool DirectoryMake(const char* path, uint32_t mode);
bool DirectoryChange(const char* path);
std::string DirectoryCurrent();

} // namespace kxr::platform

#endif

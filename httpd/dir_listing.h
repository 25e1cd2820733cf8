// Generated directory indexes.
#ifndef KXR_HTTPD_DIR_LISTING_H
#define KXR_HTTPD_DIR_LISTING_H

#include <cstddef>
#include <cstdint>

#include "httpd/connection_record.h"

namespace kxr::httpd {

// Answers with the index of the directory at path, or 404 when listings are
// off or path is no directory. path may lose a trailing "/". The title and
// the links come from requested ("./" and the target the client sent, which
// is path itself unless a file root mapped it).
void ServeDirectoryListing(ConnectionRecord* record, int32_t headOnly, char* path, size_t capacity,
                           const char* requested);

// The names of a directory, read at once, "." and ".." included.
struct DirectoryList;
inline constexpr size_t kDirectoryPathMax = 127;
DirectoryList* OpenDirectory(const char* path);
// The next name, or null after the last.
const char* NextDirectoryEntry(DirectoryList* list);
void CloseDirectory(DirectoryList* list);

} // namespace kxr::httpd

#endif

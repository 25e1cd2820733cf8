// File queries that every platform answers through QueryFileStatus.
#include "platform/kxr_file.h"

namespace kxr::platform {

bool PathExists(const char* path) {
    return QueryFileStatus(path, nullptr);
}

bool PathIsDirectory(const char* path) {
    FileStatus status;
    return QueryFileStatus(path, &status) && status.kind == FileKind::Directory;
}

} // namespace kxr::platform

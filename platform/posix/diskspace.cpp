#include "platform/kxr_diskspace.h"

#include <string>
#include <sys/statvfs.h>

namespace kxr::platform {

bool FreeStorageMegabytes(const char* directory, uint64_t* megabytesOut) {
    if (directory == nullptr || megabytesOut == nullptr) {
        return false;
    }
    // Callers may spell the directory with Windows separators.
    std::string path(directory);
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (path.empty()) {
        path = ".";
    }
    struct statvfs info {};
    if (statvfs(path.c_str(), &info) != 0) {
        return false;
    }
    const unsigned long long bytes = static_cast<unsigned long long>(info.f_bavail) *
                                     static_cast<unsigned long long>(info.f_frsize);
    *megabytesOut = bytes >> 20;
    return true;
}

} // namespace kxr::platform

// Free storage of a file system.
#ifndef KXR_PLATFORM_DISKSPACE_H
#define KXR_PLATFORM_DISKSPACE_H

#include <cstdint>

namespace kxr::platform {

// Megabytes (2^20 bytes) that an unprivileged writer may still use on the
// file system holding the directory; false when it cannot be asked.
bool FreeStorageMegabytes(const char* directory, uint64_t* megabytesOut);

} // namespace kxr::platform

#endif

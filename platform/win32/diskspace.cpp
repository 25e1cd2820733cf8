#include "platform/kxr_diskspace.h"

#include "platform/win32/win32.h"

namespace kxr::platform {

bool FreeStorageMegabytes(const char* directory, uint64_t* megabytesOut) {
    if (directory == nullptr || megabytesOut == nullptr)
        return false;
    // What the calling user may still write, quotas included.
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA(directory[0] != '\0' ? directory : nullptr, &available, nullptr,
                             nullptr))
        return false;
    *megabytesOut = available.QuadPart >> 20;
    return true;
}

} // namespace kxr::platform

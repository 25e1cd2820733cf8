#include "tests/support/short_name.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace kxrtest {

std::string ShortPathOf(const std::filesystem::path& path) {
    const std::string full = path.string();
    const DWORD size = GetShortPathNameA(full.c_str(), nullptr, 0);
    if (size == 0)
        return std::string();
    std::string shortPath(size, '\0');
    const DWORD length = GetShortPathNameA(full.c_str(), shortPath.data(), size);
    if (length == 0 || length >= size)
        return std::string();
    shortPath.resize(length);
    return shortPath;
}

} // namespace kxrtest

// Path spelling shared by every platform file call: "\\" and "/" both
// separate components, and local paths are written with the platform's own
// separator.
#ifndef KXR_PLATFORM_PATH_H
#define KXR_PLATFORM_PATH_H

#include <string>
#include <string_view>

namespace kxr::platform {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

inline constexpr bool IsPathSeparator(char c) {
    return c == '/' || c == '\\';
}

// The path as the operating system wants it: on POSIX every "\\" becomes "/".
std::string NativePath(std::string_view path);

// True for the reserved device names ("NUL", "COM1.txt", "con ", ...), which
// Windows resolves to a device in every directory. The same answer on every
// platform, so that Windows names can be judged anywhere.
bool IsReservedDeviceName(std::string_view name);

} // namespace kxr::platform

#endif

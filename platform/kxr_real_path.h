// The path by which the system knows a file, for deciding where a name
// really leads.
#ifndef KXR_PLATFORM_REAL_PATH_H
#define KXR_PLATFORM_REAL_PATH_H

#include <string>
#include <string_view>

namespace kxr::platform {

// The absolute path of an existing file or directory with every link, "."
// and ".." resolved: realpath on POSIX; on Windows the final path of an open
// handle, short names expanded, written "C:\dir\name" or
// "\\server\share\dir\name" (without the "\\?\" prefix) in UTF-8. A relative
// path counts from the working directory; "\\" and "/" both separate. False
// when nothing of that name exists, it cannot be opened, or it is a device.
bool ResolvePath(std::string_view path, std::string* out);

} // namespace kxr::platform

#endif

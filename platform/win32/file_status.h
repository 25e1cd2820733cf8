// Shared by the file and directory code of the Windows build.
#ifndef KXR_PLATFORM_WIN32_FILE_STATUS_H
#define KXR_PLATFORM_WIN32_FILE_STATUS_H

#include "platform/kxr_file.h"

#include "platform/win32/win32.h"

#include <string>
#include <string_view>

namespace kxr::platform::win32 {

// Status of a path, links followed. The attributes are the system's own.
bool StatusOfPath(const std::string& path, FileStatus* out);
// Status from what a directory search reported about one entry of dir
// (which ends in a separator, or is empty for the current directory).
void StatusOfFound(const std::string& dir, const WIN32_FIND_DATAA& found, FileStatus* out);

// True for a path that reaches a device or a pipe rather than a file: a
// reserved name in any folder, or the device namespace ("\\.\pipe\x",
// "\\.\COM1", "\\?\GLOBALROOT\...").
bool NamesDevice(std::string_view path);

} // namespace kxr::platform::win32

#endif

// Shared by the file and directory code of the POSIX build.
#ifndef KXR_PLATFORM_POSIX_FILE_STATUS_H
#define KXR_PLATFORM_POSIX_FILE_STATUS_H

#include "platform/kxr_file.h"

#include <string>
#include <string_view>

namespace kxr::platform::posix {

// Status of a native path; the hidden bit is taken from its last component.
bool StatusOfPath(const std::string& nativePath, FileStatus* out);
// Status of an entry whose name is already known (a directory listing).
bool StatusOfEntry(const std::string& nativePath, std::string_view name, FileStatus* out);

// Wildcard match of one name: "*", "?", letters without regard to case.
bool MatchWildcard(std::string_view pattern, std::string_view name);

} // namespace kxr::platform::posix

#endif

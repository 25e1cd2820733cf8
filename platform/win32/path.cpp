#include "platform/kxr_path.h"

namespace kxr::platform {

// Windows takes "\\" and "/" alike, so every path goes through as given.
std::string NativePath(std::string_view path) {
    return std::string(path);
}

} // namespace kxr::platform

#include "platform/kxr_path.h"

namespace kxr::platform {

std::string NativePath(std::string_view path) {
    std::string native(path);
    for (char& c : native) {
        if (c == '\\')
            c = '/';
    }
    return native;
}

} // namespace kxr::platform

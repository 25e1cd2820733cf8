#include "platform/kxr_real_path.h"

#include "platform/kxr_path.h"

#include <cstdlib>
#include <memory>

namespace kxr::platform {

bool ResolvePath(std::string_view path, std::string* out) {
    if (out == nullptr || path.empty() || path.find('\0') != std::string_view::npos)
        return false;
    const std::unique_ptr<char, void (*)(void*)> resolved(
        realpath(NativePath(path).c_str(), nullptr), std::free);
    if (!resolved)
        return false;
    out->assign(resolved.get());
    return true;
}

} // namespace kxr::platform

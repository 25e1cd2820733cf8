#include "tests/support/short_name.h"

namespace kxrtest {

// POSIX file systems keep one name per file.
std::string ShortPathOf(const std::filesystem::path& /*path*/) {
    return std::string();
}

} // namespace kxrtest

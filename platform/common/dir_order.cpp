#include "platform/common/dir_order.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace kxr::platform {

namespace {

int Rank(const std::string& name) {
    return name == "." ? 0 : name == ".." ? 1 : 2;
}

int CompareNoCase(const std::string& a, const std::string& b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const int x = std::tolower(static_cast<unsigned char>(a[i]));
        const int y = std::tolower(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

bool EntryBefore(const DirEntry& a, const DirEntry& b) {
    const int ra = Rank(a.name), rb = Rank(b.name);
    if (ra != rb)
        return ra < rb;
    const int order = CompareNoCase(a.name, b.name);
    return order != 0 ? order < 0 : a.name < b.name;
}

} // namespace

void SortListing(std::vector<DirEntry>* entries) {
    std::sort(entries->begin(), entries->end(), EntryBefore);
}

} // namespace kxr::platform

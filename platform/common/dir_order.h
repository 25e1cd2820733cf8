// The order in which a directory listing is handed out, the same on every
// platform: "." and ".." first, then names ignoring letter case.
#ifndef KXR_PLATFORM_COMMON_DIR_ORDER_H
#define KXR_PLATFORM_COMMON_DIR_ORDER_H

#include <vector>

#include "platform/kxr_file.h"

namespace kxr::platform {

void SortListing(std::vector<DirEntry>* entries);

} // namespace kxr::platform

#endif

#include "module/check_virtual.h"

#include <atomic>

#include "kxr/rvutil.h"
#include "module/module_state.h"

namespace kxr {

namespace {

std::atomic<int32_t (*)(CMyHttpClient*, char*)> normalizeOp{nullptr};
std::atomic<int32_t (*)(CMyHttpClient*, char*)> mapLocatorOp{nullptr};

} // namespace

void SetVirtualPathOps(const VirtualPathOps& ops) {
    normalizeOp.store(ops.normalize);
    mapLocatorOp.store(ops.mapLocator);
}

VirtualPathOps GetVirtualPathOps() {
    return VirtualPathOps{normalizeOp.load(), mapLocatorOp.load()};
}

int32_t kxrCheckVirtual(char* path) {
    if (path == nullptr) {
        return 0;
    }
    ModuleSectionEnter();
    int32_t found = 0;
    try {
        CMyHttpClient& client = TheHttpClient();
        if (auto normalize = normalizeOp.load()) {
            normalize(&client, path);
        }
        int32_t mapped = 0;
        if (auto mapLocator = mapLocatorOp.load()) {
            mapped = mapLocator(&client, path);
        }
        if (rvOSFileExists(path) != 0) {
            found = mapped;
        }
    } catch (...) {
        found = 0;
    }
    ModuleSectionLeave();
    return found;
}

} // namespace kxr

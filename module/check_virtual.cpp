#include "module/check_virtual.h"

#include <atomic>

#include "files/file_roots.h"
#include "httpd/connection_record.h"
#include "kxr/rvutil.h"
#include "module/module_state.h"

namespace kxr {

namespace {

// The server hands over its 256-byte copy of the decoded path.
int32_t MapServerLocator(CMyHttpClient* client, char* text) {
    return MapLocatorToPath(client, text, httpd::kVirtualCheckSize);
}

std::atomic<int32_t (*)(CMyHttpClient*, char*)> normalizeOp{&NormalizeVirtualPath};
std::atomic<int32_t (*)(CMyHttpClient*, char*)> mapLocatorOp{&MapServerLocator};

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
        // A path below no root is not found whether it exists or not: only a
        // mapped one is looked up.
        if (mapped != 0 && rvOSFileExists(path) != 0) {
            found = mapped;
        }
    } catch (...) {
        found = 0;
    }
    ModuleSectionLeave();
    return found;
}

} // namespace kxr

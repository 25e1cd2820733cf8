// The export through which the HTTP server turns a request path below one of
// the file roots into a local path.
#ifndef KXR_MODULE_CHECK_VIRTUAL_H
#define KXR_MODULE_CHECK_VIRTUAL_H

#include <cstdint>

#include "answer/my_http_client.h"

namespace kxr {

// The file-root translations that the check applies, in this order, to the
// path in place. normalize rewrites the request spelling of a locator;
// mapLocator turns a locator into a local path and returns 1 when a root
// matched. A null normalize leaves the text alone; a null mapLocator stands
// for an empty root table.
struct VirtualPathOps {
    int32_t (*normalize)(CMyHttpClient* client, char* text);
    int32_t (*mapLocator)(CMyHttpClient* client, char* text);
};

void SetVirtualPathOps(const VirtualPathOps& ops);
VirtualPathOps GetVirtualPathOps();

// Non-zero when the path named a file below a root and that file exists; the
// path then holds the local path. Serialised with the router's producers.
// The path buffer must have room for 256 bytes, as the server's copy has.
int32_t kxrCheckVirtual(char* path);

} // namespace kxr

#endif

// The connection handler: one request per connection, read, routed or
// served from files, then the connection is closed.
#ifndef KXR_HTTPD_CONNECTION_H
#define KXR_HTTPD_CONNECTION_H

#include <cstdint>

#include "httpd/connection_record.h"

namespace kxr::httpd {

// What the module lends the server. route answers a request when it returns
// above 0 (it sends the answer itself with SendAll); checkVirtual rewrites a
// decoded path of at most kVirtualCheckSize - 1 characters in place into a
// local path and returns non-zero when that file exists. A null hook means no
// router, or no virtual roots.
struct RequestHooks {
    int32_t (*route)(ConnectionRecord* record);
    int32_t (*checkVirtual)(char* path);
};

void SetRequestHooks(const RequestHooks& hooks);
RequestHooks GetRequestHooks();

// Thread routine of a connection ("web") that the listener started: takes
// ownership of the record (a ConnectionRecord*), serves it, closes the
// connection, counts itself out of the connection threads; returns 0.
uint32_t ConnectionThreadMain(void* record);

// The fixed CORS answer to OPTIONS.
void SendOptionsReply(ConnectionRecord* record);

} // namespace kxr::httpd

#endif

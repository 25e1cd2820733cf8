// Static files: redirects of directories, default documents, conditional
// and range requests.
#ifndef KXR_HTTPD_STATIC_FILE_H
#define KXR_HTTPD_STATIC_FILE_H

#include <cstddef>
#include <cstdint>

#include "httpd/connection_record.h"

namespace kxr::httpd {

// Answers the request for path ("./" followed by the decoded target, or a
// local path); the path buffer of the given capacity may be extended.
// requested is "./" and the decoded target as the client sent it (path itself
// unless a file root mapped it): redirects and listings are built from it.
void ServeFile(ConnectionRecord* record, int32_t headOnly, char* path, size_t capacity,
               const char* requested);

} // namespace kxr::httpd

#endif

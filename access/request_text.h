// How the API reads a request text: the path it answers and the query its
// commands read. The dispatcher and the role decision both read requests
// through this, so that what a request needs and what it does cannot drift
// apart.
#ifndef KXR_ACCESS_REQUEST_TEXT_H
#define KXR_ACCESS_REQUEST_TEXT_H

#include <string_view>

namespace kxr::access {

struct ApiRequestText {
    // Without its leading slash, query included. Taken from behind the
    // method up to the blank before "HTTP/"; a target of a few characters,
    // or a text without "HTTP/", runs on to the end of the text, header
    // lines and body included.
    std::string_view path;
    // What follows the first "?" of path; without one, path itself (a path
    // such as KXRXML/Status&channel=2 still carries its arguments), except
    // that a NextDirEntry path without "?" has no query.
    std::string_view query;
};

// text is the full text that begins with the request line, or a bare path
// that begins with "KXRXML". The views point into text.
ApiRequestText ReadApiRequestText(std::string_view text);

} // namespace kxr::access

#endif

#include "access/request_text.h"

#include <cstdint>

#include "access/text_match.h"

namespace kxr::access {

ApiRequestText ReadApiRequestText(std::string_view all) {
    ApiRequestText out;
    out.path = all;
    const size_t blank = all.find(' ');
    if (blank != std::string_view::npos && !StartsWithNoCase(all, "KXRXML")) {
        // Skips the method, its blank and the slash; "- 6" takes back the
        // blank before "HTTP/" and the five characters of "GET /".
        const int64_t start = static_cast<int64_t>(blank) + 2;
        const size_t http = all.find("HTTP/");
        const int64_t length = http != std::string_view::npos
                                   ? static_cast<int64_t>(http) - 6
                                   : static_cast<int64_t>(all.size()) - start;
        const size_t from =
            static_cast<size_t>(start) < all.size() ? static_cast<size_t>(start) : all.size();
        out.path =
            start < length ? all.substr(from, static_cast<size_t>(length)) : all.substr(from);
    }
    const size_t mark = out.path.find('?');
    if (mark != std::string_view::npos)
        out.query = out.path.substr(mark + 1);
    else if (out.path.find("NextDirEntry") == std::string_view::npos)
        out.query = out.path;
    return out;
}

} // namespace kxr::access

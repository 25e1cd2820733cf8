// Extension to content type.
#ifndef KXR_HTTPD_MIME_TYPES_H
#define KXR_HTTPD_MIME_TYPES_H

#include <cstddef>

namespace kxr::httpd {

struct MimeRow {
    const char* extension; // lower case, no dot
    const char* type;
};

inline constexpr size_t kMimeRowCount = 29;
inline constexpr size_t kMaxExtensionLength = 7;
const MimeRow& MimeTableRow(size_t index);

// The type of a lower- or mixed-case extension without its dot, or null.
const char* MimeTypeForExtension(const char* extension);

} // namespace kxr::httpd

#endif

#include "httpd/mime_types.h"

#include <cstring>

namespace kxr::httpd {

namespace {

constexpr MimeRow kMimeTable[kMimeRowCount] = {
    {"xhtml", "text/xhtml+xml"},
    {"html", "text/html"},
    {"htm", "text/html"},
    {"css", "text/css"},
    {"js", "text/javascript"},
    {"mjs", "text/javascript"},
    {"xml", "text/xml"},
    {"txt", "text/plain"},
    {"c", "text/plain"},
    {"h", "text/plain"},
    {"ini", "text/plain"},
    {"cpp", "text/plain"},
    {"log", "text/plain"},
    {"jpeg", "image/jpeg"},
    {"jpg", "image/jpeg"},
    {"png", "image/png"},
    {"bmp", "image/bmp"},
    {"gif", "image/gif"},
    {"ico", "image/x-icon"},
    {"avi", "video/avi"},
    {"bin", "application/octet-stream"},
    {"csv", "text/csv"},
    {"jar", "application/java-archive"},
    {"jsonld", "application/ld+json"},
    {"json", "application/json"},
    {"mp3", "audio/mpeg"},
    {"mpeg", "video/mpeg"},
    {"rtf", "application/rtf"},
    {"wav", "audio/wav"},
};

} // namespace

const MimeRow& MimeTableRow(size_t index) {
    return kMimeTable[index < kMimeRowCount ? index : 0];
}

const char* MimeTypeForExtension(const char* extension) {
    if (extension == nullptr)
        return nullptr;
    const size_t length = std::strlen(extension);
    if (length > kMaxExtensionLength)
        return nullptr;
    char lower[kMaxExtensionLength + 1];
    for (size_t i = 0; i <= length; ++i) {
        const char c = extension[i];
        lower[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    for (const MimeRow& row : kMimeTable) {
        if (std::strcmp(lower, row.extension) == 0)
            return row.type;
    }
    return nullptr;
}

} // namespace kxr::httpd

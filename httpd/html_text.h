// Names from the file system and the engine, written into pages: escaped as
// HTML text, and percent-encoded where they form a link.
#ifndef KXR_HTTPD_HTML_TEXT_H
#define KXR_HTTPD_HTML_TEXT_H

#include <string>
#include <string_view>

namespace kxr::httpd {

// Appends text with "<", ">", "&" and '"' as entities, so that a name never
// becomes markup.
void AppendHtmlText(std::string& out, std::string_view text);
std::string HtmlText(std::string_view text);

// Appends text percent-encoded for a link: every byte but the unreserved
// characters and "/" becomes %XX, so that the request decodes back to it.
void AppendUrlText(std::string& out, std::string_view text);

} // namespace kxr::httpd

#endif

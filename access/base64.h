// Base64 with the standard alphabet and padding (RFC 4648, section 4), as
// Basic credentials and stored password hashes carry it.
#ifndef KXR_ACCESS_BASE64_H
#define KXR_ACCESS_BASE64_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kxr::access {

std::string Base64Encode(std::string_view bytes);

// Strict: only the alphabet, a length that is a multiple of four, padding
// only at the end and no stray bits in the last character. False (and out
// untouched) for anything else.
bool Base64Decode(std::string_view text, std::string* out);

} // namespace kxr::access

#endif

// Request text to Latin-1 and back: the percent escapes (plain and the
// two-byte UTF-8 forms of Latin-1 letters) and HTML entities that clients use
// in request paths, and the entity form of texts sent inside XML answers.
#ifndef KXR_ANSWER_TEXT_CODEC_H
#define KXR_ANSWER_TEXT_CODEC_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kxr {

class CMyHttpClient;

// Decodes the zero-terminated source into target, which needs at most
// strlen(source) + 1 bytes; returns the bytes written (terminator not
// counted). The client is not used and may be null.
int32_t DecodeRequestText(CMyHttpClient* client, const char* source, char* target);

// Writes the entity form of the zero-terminated source into target, which
// needs at most 8 * strlen(source) + 1 bytes; returns the bytes written
// (terminator not counted). Client and mode have no effect.
int32_t EncodeEntities(CMyHttpClient* client, const char* source, char* target, int32_t mode = 0);

// Compares two texts after decoding both: negative, 0 or positive, byte-wise
// as unsigned characters.
int32_t CompareDecoded(CMyHttpClient* client, const char* a, const char* b);

// The same for strings. A decoded text may hold zero bytes (from "%00" or
// "&#0;"); the C forms above end their text at the first of them.
std::string DecodeRequestText(std::string_view source);
std::string EncodeEntities(std::string_view source);

// A decimal number read by the C library's rules: leading white space, an
// optional sign, digits up to the first other character; none gives 0. Out of
// range values saturate.
int32_t ParseDecimal(std::string_view text);

// Bounds for callers that size their own buffers.
inline constexpr size_t DecodedCapacity(size_t sourceLength) {
    return sourceLength + 1;
}
inline constexpr size_t EncodedCapacity(size_t sourceLength) {
    return 8 * sourceLength + 1;
}

} // namespace kxr

#endif

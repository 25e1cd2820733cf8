// The entity and URL text codec: decoding any text stays within its bound,
// encoding within eight times the source, and a text without "%", quotes or
// zero bytes comes back from an encode and decode unchanged.
#include <vector>

#include "answer/text_codec.h"
#include "fuzz_check.h"

void Fuzz(const uint8_t* data, size_t size) {
    const std::string input = Text(data, size);
    const char* source = input.c_str();
    const size_t length = std::strlen(source);

    std::vector<char> decoded(kxr::DecodedCapacity(length));
    const int32_t n = kxr::DecodeRequestText(nullptr, source, decoded.data());
    Require(n >= 0 && static_cast<size_t>(n) <= length && decoded[static_cast<size_t>(n)] == '\0');

    std::vector<char> encoded(kxr::EncodedCapacity(length));
    const int32_t m = kxr::EncodeEntities(nullptr, source, encoded.data(), 0);
    Require(m >= 0 && static_cast<size_t>(m) <= 8 * length &&
            encoded[static_cast<size_t>(m)] == '\0');

    Require(std::strpbrk(source, "%\"") != nullptr ||
            kxr::DecodeRequestText(std::string_view(encoded.data(), static_cast<size_t>(m))) ==
                std::string(source, length));
    Require(kxr::CompareDecoded(nullptr, source, source) == 0);
}

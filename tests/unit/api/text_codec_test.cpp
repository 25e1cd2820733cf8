#include "answer/text_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace kxr {
namespace {

using CodecCase = std::pair<const char*, std::string>;

TEST(TextCodec, Decodes) {
    const std::vector<CodecCase> cases = {
        {"Caf%C3%A9", "Caf\xE9"},
        {"100%%", "100%"},
        {"%zzy", "zy"}, // not hexadecimal: the character after "%" stays
        {"a%", "a%"},
        {"&AMP;", "&"},
        {"&#XE9x", "\xE9x"},
        {"&quot;", " "},
        {"&nosuch;", "&nosuch;"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(DecodeRequestText(std::string_view(in)), out) << in;
        std::vector<char> target(std::strlen(in) + 1, '\x7F');
        const int32_t n = DecodeRequestText(nullptr, in, target.data());
        EXPECT_EQ(std::string(target.data(), static_cast<size_t>(n) + 1), out + '\0') << in;
    }
}

// Which entity each byte takes is the encoder's table; that every byte comes
// back is the rule.
TEST(TextCodec, EveryByteButTheQuoteSurvivesARoundTrip) {
    size_t longest = 0;
    for (int b = 1; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        const std::string encoded = EncodeEntities(one);
        longest = std::max(longest, encoded.size());
        const std::string expected = b == 0x22 ? " " : one;
        EXPECT_EQ(DecodeRequestText(encoded), expected) << "byte " << b;
    }
    EXPECT_LE(longest, 8u);
}

TEST(TextCodec, ComparesDecodedTexts) {
    EXPECT_EQ(CompareDecoded(nullptr, "Caf%C3%A9", "Caf&eacute;"), 0);
    EXPECT_LT(CompareDecoded(nullptr, "A%20", "A%21"), 0);
    // Bytes compare unsigned: 0xE9 sorts after 'z'.
    EXPECT_GT(CompareDecoded(nullptr, "&eacute;", "z"), 0);
}

} // namespace
} // namespace kxr

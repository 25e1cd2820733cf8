// The system's crypto library behind platform/: published test vectors, so
// that the POSIX (libcrypto) and Windows (CNG) builds are held to the same
// bytes.
#include "platform/kxr_crypto.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace kp = kxr::platform;

namespace {

std::string Hex(const uint8_t* bytes, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 15]);
    }
    return out;
}

std::string Pbkdf2(const std::string& password, const std::string& salt, uint32_t iterations,
                   size_t size) {
    std::vector<uint8_t> out(size);
    if (!kp::Pbkdf2HmacSha256(password.data(), password.size(), salt.data(), salt.size(),
                              iterations, out.data(), out.size()))
        return "failed";
    return Hex(out.data(), out.size());
}

TEST(PlatformCrypto, Pbkdf2HmacSha256MatchesPublishedVectors) {
    // RFC 7914, section 11.
    EXPECT_EQ(Pbkdf2("passwd", "salt", 1, 64),
              "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
              "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783");
    EXPECT_EQ(Pbkdf2("Password", "NaCl", 80000, 64),
              "4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56"
              "a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d");
    // Zero iterations and an empty result are refused, not derived.
    EXPECT_EQ(Pbkdf2("password", "salt", 0, 32), "failed");
    uint8_t none[1];
    EXPECT_FALSE(kp::Pbkdf2HmacSha256("p", 1, "s", 1, 1, none, 0));
    // An empty password is a password like any other.
    EXPECT_EQ(Pbkdf2("", "salt", 1, 8).size(), 16u);
}

TEST(PlatformCrypto, HmacSha256MatchesPublishedVectors) {
    // RFC 4231, test case 2.
    uint8_t out[kp::kSha256Size];
    ASSERT_TRUE(kp::HmacSha256("Jefe", 4, "what do ya want for nothing?", 28, out));
    EXPECT_EQ(Hex(out, sizeof out),
              "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
}

TEST(PlatformCrypto, RandomBytesDifferAndComparisonsSeeEveryByte) {
    std::set<std::string> seen;
    for (int i = 0; i < 8; ++i) {
        uint8_t bytes[16] = {};
        ASSERT_TRUE(kp::RandomBytes(bytes, sizeof bytes));
        seen.insert(Hex(bytes, sizeof bytes));
    }
    EXPECT_EQ(seen.size(), 8u);

    const uint8_t a[4] = {1, 2, 3, 4};
    for (size_t at = 0; at < sizeof a; ++at) {
        uint8_t b[4];
        std::memcpy(b, a, sizeof a);
        EXPECT_TRUE(kp::ConstantTimeEqual(a, b, sizeof a));
        b[at] ^= 0x80;
        EXPECT_FALSE(kp::ConstantTimeEqual(a, b, sizeof a)) << at;
    }
    EXPECT_TRUE(kp::ConstantTimeEqual(a, "x", 0));
}

} // namespace

// Base64 and the stored form of a password: what kxr-host writes, the module
// reads back, and a weak or damaged entry is refused with its reason.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "access/base64.h"
#include "access/password_hash.h"

namespace {

namespace ka = kxr::access;

TEST(Base64, EncodesAndDecodesTheRfcVectors) {
    // RFC 4648, section 10.
    for (const auto& [plain, encoded] : {std::pair{"", ""},
                                         {"f", "Zg=="},
                                         {"fo", "Zm8="},
                                         {"foo", "Zm9v"},
                                         {"foob", "Zm9vYg=="},
                                         {"fooba", "Zm9vYmE="},
                                         {"foobar", "Zm9vYmFy"}}) {
        EXPECT_EQ(ka::Base64Encode(plain), encoded);
        std::string decoded = "untouched";
        ASSERT_TRUE(ka::Base64Decode(encoded, &decoded)) << encoded;
        EXPECT_EQ(decoded, plain);
    }
    std::string all(256, '\0'), back;
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<char>(i);
    ASSERT_TRUE(ka::Base64Decode(ka::Base64Encode(all), &back));
    EXPECT_EQ(back, all);
}

TEST(Base64, RefusesAnythingButTheCanonicalForm) {
    const char* rejected[] = {
        "Zg",       // padding left out
        "Zg=",      // a length that is not a multiple of four
        "Zh==",     // bits set that the padding stands for
        "Z===",     // too much padding
        "Zg==Zg==", // padding before the end
        "Zm9v\n",   // a line end
        "Zm9-",     // the URL alphabet
        "Zm=v",     // padding in the middle of a group
    };
    for (const char* text : rejected) {
        std::string out = "untouched";
        EXPECT_FALSE(ka::Base64Decode(text, &out)) << text;
        EXPECT_EQ(out, "untouched") << text;
    }
}

// The line kxr-host prints is checked over HTTP (HashPasswordLine).
TEST(PasswordEntry, MadeEntriesReadBackAndMatchOnlyTheirPassword) {
    ka::PasswordEntry made, again, read;
    ASSERT_TRUE(ka::MakePasswordEntry(ka::Role::Operator, "pass", ka::kMinIterations, &made));
    std::string reason;
    ASSERT_TRUE(ka::ParsePasswordEntry(ka::FormatPasswordEntry(made), &read, &reason)) << reason;
    EXPECT_EQ(read.role, ka::Role::Operator);
    EXPECT_EQ(read.iterations, ka::kMinIterations);
    EXPECT_EQ(read.salt, made.salt);
    EXPECT_EQ(read.hash, made.hash);
    EXPECT_TRUE(ka::PasswordMatches(read, "pass"));
    for (const char* wrong : {"Pass", "pass ", ""})
        EXPECT_FALSE(ka::PasswordMatches(read, wrong)) << wrong;
    // A fresh salt each time: the same password never gives the same entry.
    ASSERT_TRUE(ka::MakePasswordEntry(ka::Role::Operator, "pass", ka::kMinIterations, &again));
    EXPECT_NE(again.salt, made.salt);
    EXPECT_NE(again.hash, made.hash);
}

TEST(PasswordEntry, RefusesWeakOrDamagedEntriesWithTheirReason) {
    const std::string salt = ka::Base64Encode(std::string(16, 's'));
    const std::string hash = ka::Base64Encode(std::string(32, 'h'));
    const std::string tail = ":" + salt + ":" + hash;
    ka::PasswordEntry entry;
    std::string reason;
    ASSERT_TRUE(ka::ParsePasswordEntry("viewer:pbkdf2-sha256:100000" + tail, &entry, &reason))
        << reason;
    EXPECT_EQ(entry.role, ka::Role::Viewer);
    // The entry and a word of the reason.
    const std::pair<std::string, const char*> rejected[] = {
        {"viewer:pbkdf2-sha256:99999" + tail, "below 100000"},
        {"viewer:pbkdf2-sha256:99999999999" + tail, "not a number"},
        {"viewer:pbkdf2-sha256:-100000" + tail, "not a number"},
        {"Viewer:pbkdf2-sha256:100000" + tail, "role \"Viewer\""},
        {"viewer:pbkdf2-sha1:100000" + tail, "scheme"},
        {"viewer:pbkdf2-sha256:100000:" + ka::Base64Encode("short") + ":" + hash, "salt"},
        {"viewer:pbkdf2-sha256:100000:" + salt + ":" + ka::Base64Encode(std::string(31, 'h')),
         "hash"},
        {"viewer:pbkdf2-sha256:100000:" + salt, "not of the form"},
        {"secret", "not of the form"},
    };
    for (const auto& [text, word] : rejected) {
        reason.clear();
        EXPECT_FALSE(ka::ParsePasswordEntry(text, &entry, &reason)) << text;
        EXPECT_NE(reason.find(word), std::string::npos) << text << ": " << reason;
    }
}

TEST(PasswordEntry, UserNamesStandAsBareKeysWithoutColons) {
    for (const std::string& name : std::vector<std::string>{"alice", "A_b-9", std::string(63, 'n')})
        EXPECT_TRUE(ka::IsValidUserName(name)) << name;
    for (const std::string& name : std::vector<std::string>{
             "", "al:ice", "al ice", "al.ice", "\"a\"", "al\u00e9", "a\tb", std::string(64, 'n')})
        EXPECT_FALSE(ka::IsValidUserName(name)) << name;
}

} // namespace

// Base64 and the stored form of a password: what kxr-host writes, the module
// reads back, and a weak or damaged entry is refused with its reason.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "access/base64.h"
#include "access/password_hash.h"

namespace {

namespace ka = kxr::access;

TEST(Base64, EncodesAndDecodesTheRfcVectors) {
    // RFC 4648, section 10.
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(ka::Base64Encode(plain), encoded);
        std::string decoded = "untouched";
        ASSERT_TRUE(ka::Base64Decode(encoded, &decoded)) << encoded;
        EXPECT_EQ(decoded, plain);
    }
    const std::string all = [] {
        std::string bytes;
        for (int i = 0; i < 256; ++i)
            bytes.push_back(static_cast<char>(i));
        return bytes;
    }();
    std::string back;
    ASSERT_TRUE(ka::Base64Decode(ka::Base64Encode(all), &back));
    EXPECT_EQ(back, all);
}

TEST(Base64, RefusesAnythingButTheCanonicalForm) {
    const char* rejected[] = {
        "Zg",       // padding left out
        "Zg=",      // a length that is not a multiple of four
        "Zh==",     // bits set that the padding stands for
        "Zm9=",     // the same with one pad
        "Z===",     // too much padding
        "Zg==Zg==", // padding before the end
        "Zm9v\n",   // a line end
        "Zm 9v",    // a blank
        "Zm9-",     // the URL alphabet
        "Zm=v",     // padding in the middle of a group
    };
    for (const char* text : rejected) {
        std::string out = "untouched";
        EXPECT_FALSE(ka::Base64Decode(text, &out)) << text;
        EXPECT_EQ(out, "untouched") << text;
    }
}

TEST(PasswordEntry, MadeEntriesReadBackAndMatchOnlyTheirPassword) {
    // The line kxr-host prints is checked over HTTP (HashPasswordLine).
    ka::PasswordEntry made;
    ASSERT_TRUE(
        ka::MakePasswordEntry(ka::Role::Operator, "correct horse", ka::kMinIterations, &made));
    const std::string text = ka::FormatPasswordEntry(made);
    ka::PasswordEntry read;
    std::string reason;
    ASSERT_TRUE(ka::ParsePasswordEntry(text, &read, &reason)) << reason;
    EXPECT_EQ(read.role, ka::Role::Operator);
    EXPECT_EQ(read.iterations, ka::kMinIterations);
    EXPECT_EQ(read.salt, made.salt);
    EXPECT_EQ(read.hash, made.hash);

    EXPECT_TRUE(ka::PasswordMatches(read, "correct horse"));
    EXPECT_FALSE(ka::PasswordMatches(read, "correct horsE"));
    EXPECT_FALSE(ka::PasswordMatches(read, "correct horse "));
    EXPECT_FALSE(ka::PasswordMatches(read, ""));

    // A fresh salt each time: the same password never gives the same entry.
    ka::PasswordEntry again;
    ASSERT_TRUE(
        ka::MakePasswordEntry(ka::Role::Operator, "correct horse", ka::kMinIterations, &again));
    EXPECT_NE(again.salt, made.salt);
    EXPECT_NE(again.hash, made.hash);
}

TEST(PasswordEntry, RefusesWeakOrDamagedEntriesWithTheirReason) {
    const std::string salt = ka::Base64Encode(std::string(16, 's'));
    const std::string hash = ka::Base64Encode(std::string(32, 'h'));
    const std::string good = "viewer:pbkdf2-sha256:100000:" + salt + ":" + hash;
    ka::PasswordEntry entry;
    std::string reason;
    ASSERT_TRUE(ka::ParsePasswordEntry(good, &entry, &reason)) << reason;
    EXPECT_EQ(entry.role, ka::Role::Viewer);

    // The entry and a word of the reason.
    const std::pair<std::string, const char*> rejected[] = {
        {"viewer:pbkdf2-sha256:99999:" + salt + ":" + hash, "below 100000"},
        {"viewer:pbkdf2-sha256:0100000:" + salt + ":" + hash, "not a number"},
        {"viewer:pbkdf2-sha256:99999999999:" + salt + ":" + hash, "not a number"},
        {"viewer:pbkdf2-sha256:-100000:" + salt + ":" + hash, "not a number"},
        {"Viewer:pbkdf2-sha256:100000:" + salt + ":" + hash, "role \"Viewer\""},
        {"viewer:pbkdf2-sha1:100000:" + salt + ":" + hash, "scheme"},
        {"viewer:pbkdf2-sha256:100000:" + ka::Base64Encode("short") + ":" + hash, "salt"},
        {"viewer:pbkdf2-sha256:100000:" + salt + ":" + ka::Base64Encode(std::string(31, 'h')),
         "hash"},
        {"viewer:pbkdf2-sha256:100000:" + salt, "not of the form"},
        {good + ":extra", "not of the form"},
        {"secret", "not of the form"},
    };
    for (const auto& [text, word] : rejected) {
        reason.clear();
        EXPECT_FALSE(ka::ParsePasswordEntry(text, &entry, &reason)) << text;
        EXPECT_NE(reason.find(word), std::string::npos) << text << ": " << reason;
    }
}

TEST(PasswordEntry, UserNamesStandAsBareKeysWithoutColons) {
    for (const char* name : {"alice", "A_b-9", "x", "operator2"})
        EXPECT_TRUE(ka::IsValidUserName(name)) << name;
    for (const char* name : {"", "al:ice", "al ice", "al.ice", "\"a\"", "al\u00e9", "a\tb"})
        EXPECT_FALSE(ka::IsValidUserName(name)) << name;
    EXPECT_TRUE(ka::IsValidUserName(std::string(63, 'n')));
    EXPECT_FALSE(ka::IsValidUserName(std::string(64, 'n')));
}

} // namespace

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

// The RFC 4648 vectors and a round trip of every byte are asked over HTTP:
// each login decodes its credentials, and kxr-host --hash-password encodes
// random salts and hashes of every padding length (HashPasswordLine).
TEST(Base64, RefusesAnythingButTheCanonicalForm) {
    const char* rejected[] = {
        "Zg",       // padding left out
        "Zg=",      // a length that is not a multiple of four
        "Zh==",     // bits set that the padding stands for
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

// That an entry reads back and lets its user in is asked over HTTP
// (HashPasswordLine); here, the near misses and a fresh salt each time.
TEST(PasswordEntry, MatchesOnlyItsPasswordAndNeverRepeats) {
    ka::PasswordEntry made, again;
    ASSERT_TRUE(ka::MakePasswordEntry(ka::Role::Viewer, "pass", ka::kMinIterations, &made));
    ASSERT_TRUE(ka::MakePasswordEntry(ka::Role::Viewer, "pass", ka::kMinIterations, &again));
    EXPECT_NE(again.salt, made.salt);
    EXPECT_NE(again.hash, made.hash);
    EXPECT_TRUE(ka::PasswordMatches(made, "pass"));
    for (const char* wrong : {"Pass", "pass ", ""})
        EXPECT_FALSE(ka::PasswordMatches(made, wrong)) << wrong;
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

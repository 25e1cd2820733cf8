// Basic credentials read from the head of a request text: the forms clients
// send, and everything that must not be taken for credentials.
#include "access/authorization.h"

#include <gtest/gtest.h>

#include <string>

#include "access/base64.h"

namespace {

namespace ka = kxr::access;

std::string Head(const std::string& fieldLines) {
    return "GET /KXRStatus HTTP/1.1\r\nHost: 127.0.0.1\r\n" + fieldLines + "\r\n";
}

std::string Basic(const std::string& userColonPassword) {
    return "Authorization: Basic " + ka::Base64Encode(userColonPassword) + "\r\n";
}

TEST(BasicAuthorization, ReadsTheFormsClientsSend) {
    // The request text, the name and the password read from it.
    const std::string rows[][3] = {
        // The password may hold colons; the name ends at the first.
        {Head(Basic("bob:a:b:c")), "bob", "a:b:c"},
        {Head(Basic("carol:")), "carol", ""},
        {Head(Basic("dave:p\xc3\xa4ss w\xc3\xb6rd")), "dave", "p\xc3\xa4ss w\xc3\xb6rd"},
        // Field name and scheme in any case, blanks around the value.
        {Head("AUTHORIZATION:BASIC  " + ka::Base64Encode("e:f") + " \t\r\n"), "e", "f"},
        // Bare line feeds, as the request reader accepts them.
        {"GET / HTTP/1.0\nAuthorization: Basic " + ka::Base64Encode("g:h") + "\n\n", "g", "h"},
        // A body behind the head is never read for credentials.
        {Head(Basic("i:j")) + Basic("x:y"), "i", "j"},
        {Head("X-Authorization: Basic " + ka::Base64Encode("no:no") + "\r\n" + Basic("k:l")), "k",
         "l"},
        // Passwords up to the limit.
        {Head(Basic("alice:" + std::string(1024, 'p'))), "alice", std::string(1024, 'p')},
    };
    for (const auto& [text, user, password] : rows) {
        ka::BasicCredentials out;
        ASSERT_EQ(ka::ReadBasicAuthorization(text, &out), ka::AuthorizationStatus::Basic) << text;
        EXPECT_EQ(out.user, user) << text;
        EXPECT_EQ(out.password, password) << text;
    }
}

TEST(BasicAuthorization, AbsentUnreadableOrAmbiguousCredentialsAreNotRead) {
    constexpr ka::AuthorizationStatus kMissing = ka::AuthorizationStatus::Missing;
    constexpr ka::AuthorizationStatus kMalformed = ka::AuthorizationStatus::Malformed;
    const std::pair<std::string, ka::AuthorizationStatus> rows[] = {
        {Head(""), kMissing},
        {"", kMissing},
        // Only in the body, only on the request line, a blank before the colon.
        {Head("") + Basic("a:b"), kMissing},
        {"GET /?Authorization:Basic%20YTpi HTTP/1.1\r\n\r\n", kMissing},
        {Head("Authorization : Basic " + ka::Base64Encode("a:b") + "\r\n"), kMissing},
        {Head("Authorization: Bearer abc\r\n"), kMalformed},
        {Head("Authorization: Basic \r\n"), kMalformed},
        {Head("Authorization: Basic\tYWxpY2U6c2VjcmV0\r\n"), kMalformed},
        {Head("Authorization: Basic YWxpY2U6c2VjcmV0=\r\n"), kMalformed},
        {Head("Authorization: Basic!" + ka::Base64Encode("a:b") + "\r\n"), kMalformed},
        // No colon, an impossible name, a control character.
        {Head(Basic("alice")), kMalformed},
        {Head(Basic("al ice:secret")), kMalformed},
        {Head(Basic(std::string("alice:se\0cret", 13))), kMalformed},
        {Head(Basic("alice:" + std::string(1025, 'p'))), kMalformed},
        // Two fields: which one would a proxy have checked?
        {Head(Basic("a:b") + Basic("a:b")), kMalformed},
        // A folded continuation line; a head cut inside the field.
        {Head(Basic("a:b") + " more\r\n"), kMalformed},
        {"GET / HTTP/1.1\r\nAuthorization: Basic " + ka::Base64Encode("alice:secret"), kMalformed},
    };
    for (const auto& [text, status] : rows) {
        ka::BasicCredentials out;
        EXPECT_EQ(ka::ReadBasicAuthorization(text, &out), status) << text;
    }
}

} // namespace

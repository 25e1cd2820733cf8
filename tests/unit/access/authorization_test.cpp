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
        {Head("authorization: basic " + ka::Base64Encode("e:f") + "\r\n"), "e", "f"},
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

TEST(BasicAuthorization, WithoutTheFieldCredentialsAreMissing) {
    const std::string texts[] = {
        Head(""),
        "GET / HTTP/1.1",
        "",
        // Only in the body.
        Head("") + Basic("a:b"),
        // Only on the request line.
        "GET /?Authorization:Basic%20YTpi HTTP/1.1\r\n\r\n",
        // A field name with a blank before its colon is another name.
        Head("Authorization : Basic " + ka::Base64Encode("a:b") + "\r\n"),
    };
    for (const std::string& text : texts) {
        ka::BasicCredentials out;
        EXPECT_EQ(ka::ReadBasicAuthorization(text, &out), ka::AuthorizationStatus::Missing) << text;
    }
}

TEST(BasicAuthorization, UnreadableOrAmbiguousCredentialsAreMalformed) {
    const std::string texts[] = {
        Head("Authorization: Bearer abc\r\n"),
        Head("Authorization: Basic \r\n"),
        Head("Authorization: Basic\tYWxpY2U6c2VjcmV0\r\n"),
        Head("Authorization: Basic YWxpY2U6c2VjcmV0=\r\n"),
        Head("Authorization: Basic YWxp Y2U6\r\n"),
        Head("Authorization: Basic!" + ka::Base64Encode("a:b") + "\r\n"),
        // No colon, an empty or impossible name, control characters.
        Head(Basic("alice")),
        Head(Basic(":secret")),
        Head(Basic("al ice:secret")),
        Head(Basic("alice:se\ncret")),
        Head(Basic(std::string("alice:se\0cret", 13))),
        Head(Basic("alice:" + std::string(1025, 'p'))),
        // Two fields: which one would a proxy have checked?
        Head(Basic("a:b") + Basic("a:b")),
        // A folded continuation line.
        Head(Basic("a:b") + " more\r\n"),
        // The head was cut inside the field.
        "GET / HTTP/1.1\r\nAuthorization: Basic " + ka::Base64Encode("alice:secret"),
    };
    for (const std::string& text : texts) {
        ka::BasicCredentials out;
        EXPECT_EQ(ka::ReadBasicAuthorization(text, &out), ka::AuthorizationStatus::Malformed)
            << text;
    }
}

} // namespace

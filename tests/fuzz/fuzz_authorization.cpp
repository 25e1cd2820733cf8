// The Authorization header of arbitrary request heads: whatever is read as
// Basic credentials is a possible user with a password the server accepts,
// and writing them back as a header reads the same; base64 has one form.
#include "access/authorization.h"
#include "access/base64.h"
#include "access/password_hash.h"
#include "fuzz_check.h"

void Fuzz(const uint8_t* data, size_t size) {
    namespace ka = kxr::access;
    // The receive buffer holds at most 4095 bytes.
    if (size > 4095)
        return;
    const std::string text = Text(data, size);
    ka::BasicCredentials credentials;
    if (ka::ReadBasicAuthorization(text, &credentials) == ka::AuthorizationStatus::Basic) {
        Require(ka::IsValidUserName(credentials.user));
        Require(credentials.password.size() <= ka::kMaxPasswordLength);
        for (char c : credentials.password)
            Require(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
        ka::BasicCredentials again;
        const std::string head = "GET / HTTP/1.1\r\nAuthorization: Basic " +
                                 ka::Base64Encode(credentials.user + ":" + credentials.password) +
                                 "\r\n\r\n";
        Require(ka::ReadBasicAuthorization(head, &again) == ka::AuthorizationStatus::Basic);
        Require(again.user == credentials.user && again.password == credentials.password);
    }
    // Whatever decodes is the one encoding of its bytes.
    std::string decoded;
    if (ka::Base64Decode(text, &decoded))
        Require(ka::Base64Encode(decoded) == text);
}

#include "platform/kxr_crypto.h"

#include <climits>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

namespace kxr::platform {

bool Pbkdf2HmacSha256(const void* password, size_t passwordSize, const void* salt, size_t saltSize,
                      uint32_t iterations, uint8_t* out, size_t outSize) {
    if (iterations == 0 || iterations > INT_MAX || passwordSize > INT_MAX || saltSize > INT_MAX ||
        outSize == 0 || outSize > INT_MAX)
        return false;
    // libcrypto wants a pointer even for an empty password.
    static const char kEmpty[1] = {0};
    return PKCS5_PBKDF2_HMAC(passwordSize > 0 ? static_cast<const char*>(password) : kEmpty,
                             static_cast<int>(passwordSize),
                             static_cast<const unsigned char*>(salt), static_cast<int>(saltSize),
                             static_cast<int>(iterations), EVP_sha256(), static_cast<int>(outSize),
                             out) == 1;
}

bool HmacSha256(const void* key, size_t keySize, const void* data, size_t dataSize, uint8_t* out) {
    if (keySize > INT_MAX)
        return false;
    unsigned int length = 0;
    return HMAC(EVP_sha256(), key, static_cast<int>(keySize),
                static_cast<const unsigned char*>(data), dataSize, out, &length) != nullptr &&
           length == kSha256Size;
}

bool RandomBytes(uint8_t* out, size_t count) {
    return count <= INT_MAX && RAND_bytes(out, static_cast<int>(count)) == 1;
}

bool ConstantTimeEqual(const void* a, const void* b, size_t size) {
    return CRYPTO_memcmp(a, b, size) == 0;
}

} // namespace kxr::platform

// Password hashing, keyed digests and randomness, taken from the operating
// system's crypto library (OpenSSL's libcrypto on POSIX, CNG on Windows):
// none of this is our own cryptography.
#ifndef KXR_PLATFORM_CRYPTO_H
#define KXR_PLATFORM_CRYPTO_H

#include <cstddef>
#include <cstdint>

namespace kxr::platform {

inline constexpr size_t kSha256Size = 32;

// PBKDF2 with HMAC-SHA256: outSize bytes derived from the password and salt.
// False when the library refused (no iterations, sizes it cannot take).
bool Pbkdf2HmacSha256(const void* password, size_t passwordSize, const void* salt, size_t saltSize,
                      uint32_t iterations, uint8_t* out, size_t outSize);

// HMAC-SHA256 of data under key into out (kSha256Size bytes).
bool HmacSha256(const void* key, size_t keySize, const void* data, size_t dataSize, uint8_t* out);

// Bytes from the system's cryptographically strong generator.
bool RandomBytes(uint8_t* out, size_t count);

// Whether the two blocks hold the same bytes, in a time that depends on size
// only, so that a comparison with a secret tells nothing of where it differs.
bool ConstantTimeEqual(const void* a, const void* b, size_t size);

} // namespace kxr::platform

#endif

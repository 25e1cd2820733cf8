#include "platform/kxr_crypto.h"

#include "platform/win32/win32.h"

#include <bcrypt.h>

namespace kxr::platform {

namespace {

constexpr ULONG kUlongMax = 0xFFFFFFFFu;

// An HMAC-SHA256 provider of CNG, closed with the object.
class HmacProvider {
public:
    HmacProvider() {
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle_, BCRYPT_SHA256_ALGORITHM, nullptr,
                                                        BCRYPT_ALG_HANDLE_HMAC_FLAG)))
            handle_ = nullptr;
    }
    ~HmacProvider() {
        if (handle_ != nullptr)
            BCryptCloseAlgorithmProvider(handle_, 0);
    }
    HmacProvider(const HmacProvider&) = delete;
    HmacProvider& operator=(const HmacProvider&) = delete;
    BCRYPT_ALG_HANDLE Get() const { return handle_; }

private:
    BCRYPT_ALG_HANDLE handle_ = nullptr;
};

// CNG takes its inputs through non-const pointers without writing them.
PUCHAR Bytes(const void* data) {
    return static_cast<PUCHAR>(const_cast<void*>(data));
}

} // namespace

bool Pbkdf2HmacSha256(const void* password, size_t passwordSize, const void* salt, size_t saltSize,
                      uint32_t iterations, uint8_t* out, size_t outSize) {
    if (iterations == 0 || passwordSize > kUlongMax || saltSize > kUlongMax || outSize == 0 ||
        outSize > kUlongMax)
        return false;
    HmacProvider provider;
    if (provider.Get() == nullptr)
        return false;
    return BCRYPT_SUCCESS(BCryptDeriveKeyPBKDF2(
        provider.Get(), Bytes(password), static_cast<ULONG>(passwordSize), Bytes(salt),
        static_cast<ULONG>(saltSize), iterations, out, static_cast<ULONG>(outSize), 0));
}

bool HmacSha256(const void* key, size_t keySize, const void* data, size_t dataSize, uint8_t* out) {
    if (keySize > kUlongMax || dataSize > kUlongMax)
        return false;
    HmacProvider provider;
    if (provider.Get() == nullptr)
        return false;
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!BCRYPT_SUCCESS(BCryptCreateHash(provider.Get(), &hash, nullptr, 0, Bytes(key),
                                         static_cast<ULONG>(keySize), 0)))
        return false;
    const bool done =
        BCRYPT_SUCCESS(BCryptHashData(hash, Bytes(data), static_cast<ULONG>(dataSize), 0)) &&
        BCRYPT_SUCCESS(BCryptFinishHash(hash, out, static_cast<ULONG>(kSha256Size), 0));
    BCryptDestroyHash(hash);
    return done;
}

bool RandomBytes(uint8_t* out, size_t count) {
    return count <= kUlongMax &&
           BCRYPT_SUCCESS(BCryptGenRandom(nullptr, out, static_cast<ULONG>(count),
                                          BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

bool ConstantTimeEqual(const void* a, const void* b, size_t size) {
    // Every byte is read and folded in; volatile keeps the compiler from
    // turning the loop into an early exit.
    const volatile uint8_t* x = static_cast<const volatile uint8_t*>(a);
    const volatile uint8_t* y = static_cast<const volatile uint8_t*>(b);
    uint8_t difference = 0;
    for (size_t i = 0; i < size; ++i)
        difference = static_cast<uint8_t>(difference | (x[i] ^ y[i]));
    return difference == 0;
}

} // namespace kxr::platform

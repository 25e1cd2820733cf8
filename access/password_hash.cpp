#include "access/password_hash.h"

#include <vector>

#include "access/base64.h"
#include "platform/kxr_crypto.h"

namespace kxr::access {

namespace {

constexpr std::string_view kScheme = "pbkdf2-sha256";

std::vector<std::string_view> SplitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        const size_t colon = text.find(':', start);
        fields.push_back(
            text.substr(start, colon == std::string_view::npos ? colon : colon - start));
        if (colon == std::string_view::npos)
            return fields;
        start = colon + 1;
    }
}

// Plain decimal digits, no sign, no leading zero, within 32 bits.
bool ReadCount(std::string_view text, uint32_t* out) {
    if (text.empty() || text.size() > 10 || (text[0] == '0' && text.size() > 1))
        return false;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > 0xFFFFFFFFu)
        return false;
    *out = static_cast<uint32_t>(value);
    return true;
}

bool Derive(std::string_view password, std::string_view salt, uint32_t iterations,
            std::string* out) {
    std::string hash(kHashSize, '\0');
    if (!platform::Pbkdf2HmacSha256(password.data(), password.size(), salt.data(), salt.size(),
                                    iterations, reinterpret_cast<uint8_t*>(hash.data()),
                                    hash.size()))
        return false;
    *out = std::move(hash);
    return true;
}

} // namespace

bool IsValidUserName(std::string_view name) {
    if (name.empty() || name.size() > kMaxUserNameLength)
        return false;
    for (char c : name) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool digit = c >= '0' && c <= '9';
        if (!letter && !digit && c != '_' && c != '-')
            return false;
    }
    return true;
}

bool IsPossiblePassword(std::string_view password) {
    if (password.size() > kMaxPasswordLength)
        return false;
    for (char c : password) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            return false;
    }
    return true;
}

bool ParsePasswordEntry(std::string_view text, PasswordEntry* out, std::string* reason) {
    const std::vector<std::string_view> fields = SplitFields(text);
    if (fields.size() != 5) {
        *reason = "not of the form role:pbkdf2-sha256:iterations:salt:hash";
        return false;
    }
    const std::optional<Role> role = RoleFromName(fields[0]);
    if (!role) {
        *reason = "the role \"" + std::string(fields[0]) + "\" is not viewer, operator or admin";
        return false;
    }
    if (fields[1] != kScheme) {
        *reason = "the scheme \"" + std::string(fields[1]) + "\" is not pbkdf2-sha256";
        return false;
    }
    PasswordEntry entry;
    entry.role = *role;
    if (!ReadCount(fields[2], &entry.iterations)) {
        *reason = "the iteration count \"" + std::string(fields[2]) + "\" is not a number";
        return false;
    }
    if (entry.iterations < kMinIterations) {
        *reason = "the iteration count " + std::to_string(entry.iterations) + " is below " +
                  std::to_string(kMinIterations) + ": make the entry again with kxr-host " +
                  "--hash-password";
        return false;
    }
    if (!Base64Decode(fields[3], &entry.salt) || entry.salt.size() < kSaltSize) {
        *reason = "the salt is not base64 of at least " + std::to_string(kSaltSize) + " bytes";
        return false;
    }
    if (!Base64Decode(fields[4], &entry.hash) || entry.hash.size() != kHashSize) {
        *reason = "the hash is not base64 of " + std::to_string(kHashSize) + " bytes";
        return false;
    }
    *out = std::move(entry);
    return true;
}

std::string FormatPasswordEntry(const PasswordEntry& entry) {
    return std::string(RoleName(entry.role)) + ":" + std::string(kScheme) + ":" +
           std::to_string(entry.iterations) + ":" + Base64Encode(entry.salt) + ":" +
           Base64Encode(entry.hash);
}

bool MakePasswordEntry(Role role, std::string_view password, uint32_t iterations,
                       PasswordEntry* out) {
    PasswordEntry entry;
    entry.role = role;
    entry.iterations = iterations;
    entry.salt.assign(kSaltSize, '\0');
    if (!platform::RandomBytes(reinterpret_cast<uint8_t*>(entry.salt.data()), kSaltSize) ||
        !Derive(password, entry.salt, iterations, &entry.hash))
        return false;
    *out = std::move(entry);
    return true;
}

bool PasswordMatches(const PasswordEntry& entry, std::string_view password) {
    std::string derived;
    return entry.hash.size() == kHashSize &&
           Derive(password, entry.salt, entry.iterations, &derived) &&
           platform::ConstantTimeEqual(derived.data(), entry.hash.data(), kHashSize);
}

std::string UserConfigLine(std::string_view name, const PasswordEntry& entry) {
    return std::string(name) + " = \"" + FormatPasswordEntry(entry) + "\"";
}

} // namespace kxr::access

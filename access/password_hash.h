// The stored form of a user: one text per user under [KXR.NetServer.Users],
//   alice = "operator:pbkdf2-sha256:310000:<salt>:<hash>"
// with the role, the iteration count of PBKDF2-HMAC-SHA256 and its salt and
// result in base64. kxr-host writes such lines; the module reads them.
#ifndef KXR_ACCESS_PASSWORD_HASH_H
#define KXR_ACCESS_PASSWORD_HASH_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "access/roles.h"

namespace kxr::access {

// Weaker entries are refused when the users are read.
inline constexpr uint32_t kMinIterations = 100000;
// What new entries get: about a third of a second on a busy two-core machine.
inline constexpr uint32_t kDefaultIterations = 310000;
inline constexpr size_t kSaltSize = 16;
inline constexpr size_t kHashSize = 32;
// Longer names do not fit a connection's record.
inline constexpr size_t kMaxUserNameLength = 63;
// A longer password is refused, also in Basic credentials.
inline constexpr size_t kMaxPasswordLength = 1024;

struct PasswordEntry {
    Role role = Role::Viewer;
    uint32_t iterations = 0;
    std::string salt; // kSaltSize bytes
    std::string hash; // kHashSize bytes
};

// A user name is 1 to 63 letters, digits, "_" or "-": it stands as a bare
// TOML key and can never hold the ":" that ends a name in Basic credentials.
bool IsValidUserName(std::string_view name);

// A password Basic credentials can carry: at most kMaxPasswordLength bytes,
// none of them a control character.
bool IsPossiblePassword(std::string_view password);

// False with a reason ("the iteration count 1000 is below 100000", ...) when
// the text is not a usable entry.
bool ParsePasswordEntry(std::string_view text, PasswordEntry* out, std::string* reason);
std::string FormatPasswordEntry(const PasswordEntry& entry);

// A new entry with a fresh random salt; false when the platform's crypto
// failed.
bool MakePasswordEntry(Role role, std::string_view password, uint32_t iterations,
                       PasswordEntry* out);

// Derives the password's hash with the entry's salt and iterations and
// compares it with the stored one in constant time.
bool PasswordMatches(const PasswordEntry& entry, std::string_view password);

// The line to paste under [KXR.NetServer.Users]: name = "entry".
std::string UserConfigLine(std::string_view name, const PasswordEntry& entry);

} // namespace kxr::access

#endif

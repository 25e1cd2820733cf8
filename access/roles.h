// Who may do what once users are configured: three roles, each including the
// one below it.
#ifndef KXR_ACCESS_ROLES_H
#define KXR_ACCESS_ROLES_H

#include <cstdint>
#include <optional>
#include <string_view>

namespace kxr::access {

// viewer reads; operator also changes state (the transport, the error log,
// folders); admin also reaches the host's relay paths.
enum class Role : uint8_t { Viewer = 1, Operator = 2, Admin = 3 };

inline constexpr std::string_view kRoleNames[] = {"viewer", "operator", "admin"};

inline std::string_view RoleName(Role role) {
    return kRoleNames[static_cast<int>(role) - 1];
}

inline std::optional<Role> RoleFromName(std::string_view name) {
    for (int i = 0; i < 3; ++i) {
        if (kRoleNames[i] == name)
            return static_cast<Role>(i + 1);
    }
    return std::nullopt;
}

} // namespace kxr::access

#endif

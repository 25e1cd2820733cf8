// Who may do what once users are configured: three roles, each including the
// one below it, and the role a request needs.
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

// The role a request needs. requestLine is the request line as the server
// read it (its method decides whether the router sees the request at all);
// routedText is what the router is handed: the receive buffer up to its
// first zero, request line, header lines and what arrived of a body. The
// answer is the highest need of everything the request could set off.
Role RequiredRole(std::string_view requestLine, std::string_view routedText);

} // namespace kxr::access

#endif

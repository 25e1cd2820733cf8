// Who may connect and who may do what, as the configuration said at the
// last kxrStart: [KXR.NetServer] AllowFrom and [KXR.NetServer.Users].
#ifndef KXR_ACCESS_ACCESS_POLICY_H
#define KXR_ACCESS_ACCESS_POLICY_H

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "access/allow_list.h"
#include "access/credentials.h"

namespace kxr::access {

struct AccessPolicy {
    AllowList allowList;
    // Null when no user is configured: then nobody has to log in.
    std::shared_ptr<Authenticator> authenticator;
};

// The policy in force; never null (everyone, no users, before the first
// load). A connection keeps the one it started with.
std::shared_ptr<const AccessPolicy> CurrentAccessPolicy();
void SetAccessPolicy(std::shared_ptr<const AccessPolicy> policy);

// AllowFrom as read from the store.
struct AllowFromSetting {
    enum class State { Unset, Text, NotText } state = State::Unset;
    std::string text;
};

// One user entry of the configuration, as read from the store.
struct UserSetting {
    std::string name;
    bool isText = false;
    std::string text;
};

// Builds a policy from the settings. Each problem adds one message; an entry
// with a problem is left out (for AllowFrom, see AllowList::Parse). Both fail
// closed: an AllowFrom that is not one text lets only this machine connect,
// and users none of whom can be used leave nobody able to log in.
std::shared_ptr<const AccessPolicy> MakeAccessPolicy(const AllowFromSetting& allowFrom,
                                                     const std::vector<UserSetting>& users,
                                                     std::vector<std::string>* messages);

// Reads the settings from the configuration store, writes each problem to
// the error log and puts the result in force.
void LoadAccessSettings();

} // namespace kxr::access

#endif

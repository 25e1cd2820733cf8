#include "access/access_policy.h"

#include <mutex>

#include "kxr/rvutil.h"

namespace kxr::access {

namespace {

constexpr const char* kNetServerKey = "KXR\\NetServer";
constexpr const char* kUsersKey = "KXR\\NetServer\\Users";
constexpr const char* kAllowFromName = "AllowFrom";
// Room for a long list of blocks; a longer text is refused, not cut.
constexpr uint32_t kAllowFromRoom = 8192;
// A stored entry is about a hundred characters.
constexpr uint32_t kEntryRoom = 512;

std::mutex policyLock;
std::shared_ptr<const AccessPolicy> policy = std::make_shared<const AccessPolicy>();

// The type of a value of a key, or RV_CFG_NO_ENTRY when it has none of
// that name.
uint32_t ValueType(const char* key, const char* name) {
    char entry[RV_MAX_PATH];
    std::string previous;
    uint32_t type = 0;
    while (rvCFGGetNext(RV_CFG_ROOT, key, entry, previous.c_str(), &type) == 0) {
        if (previous.assign(entry) == name)
            return type;
    }
    return RV_CFG_NO_ENTRY;
}

// False when the value is missing, not text, or longer than room - 1.
bool ReadText(const char* key, const char* name, uint32_t room, std::string* out) {
    std::string buffer(room, '\0');
    uint32_t size = room;
    if (rvCFGValueString(RV_CFG_ROOT, key, name, buffer.data(), &size, 0) != 0 || size > room)
        return false;
    out->assign(buffer.c_str());
    return true;
}

std::vector<UserSetting> ReadUserSettings() {
    std::vector<UserSetting> users;
    char entry[RV_MAX_PATH];
    std::string previous;
    uint32_t type = 0;
    while (rvCFGGetNext(RV_CFG_ROOT, kUsersKey, entry, previous.c_str(), &type) == 0) {
        previous = entry;
        UserSetting user;
        user.name = entry;
        user.isText =
            type == RV_CFG_TYPE_STRING && ReadText(kUsersKey, entry, kEntryRoom, &user.text);
        users.push_back(std::move(user));
    }
    return users;
}

} // namespace

std::shared_ptr<const AccessPolicy> CurrentAccessPolicy() {
    std::lock_guard<std::mutex> lock(policyLock);
    return policy;
}

void SetAccessPolicy(std::shared_ptr<const AccessPolicy> next) {
    std::lock_guard<std::mutex> lock(policyLock);
    policy = next != nullptr ? std::move(next) : std::make_shared<const AccessPolicy>();
}

std::shared_ptr<const AccessPolicy> MakeAccessPolicy(const AllowFromSetting& allowFrom,
                                                     const std::vector<UserSetting>& users,
                                                     std::vector<std::string>* messages) {
    auto made = std::make_shared<AccessPolicy>();
    if (allowFrom.state == AllowFromSetting::State::Text) {
        made->allowList = AllowList::Parse(allowFrom.text, messages);
    } else if (allowFrom.state == AllowFromSetting::State::NotText) {
        messages->push_back("AllowFrom is not one text such as \"127.0.0.1, 10.20.0.0/16\" (of "
                            "at most " +
                            std::to_string(kAllowFromRoom - 1) +
                            " characters): only this machine (127.0.0.0/8) may connect");
        made->allowList = AllowList::LoopbackOnly();
    }
    if (users.empty())
        return made;
    UserTable table;
    for (const UserSetting& user : users) {
        const std::string quoted = "user \"" + user.name + "\"";
        PasswordEntry entry;
        std::string reason;
        if (!IsValidUserName(user.name))
            messages->push_back(quoted + ": a name is 1 to 63 letters, digits, \"_\" or \"-\"; "
                                         "the user is ignored");
        else if (!user.isText)
            messages->push_back(quoted + ": not a text such as \"viewer:pbkdf2-sha256:...\"; "
                                         "the user is ignored");
        else if (!ParsePasswordEntry(user.text, &entry, &reason))
            messages->push_back(quoted + ": " + reason + "; the user is ignored");
        else
            table.emplace(user.name, std::move(entry));
    }
    if (table.empty())
        messages->push_back("[KXR.NetServer.Users] has no usable user: nobody can log in, so "
                            "every request is refused");
    made->authenticator = std::make_shared<Authenticator>(std::move(table));
    return made;
}

void LoadAccessSettings() {
    AllowFromSetting allowFrom;
    const uint32_t type = ValueType(kNetServerKey, kAllowFromName);
    if (type != RV_CFG_NO_ENTRY) {
        const bool text = type == RV_CFG_TYPE_STRING &&
                          ReadText(kNetServerKey, kAllowFromName, kAllowFromRoom, &allowFrom.text);
        allowFrom.state = text ? AllowFromSetting::State::Text : AllowFromSetting::State::NotText;
    }
    std::vector<std::string> messages;
    auto made = MakeAccessPolicy(allowFrom, ReadUserSettings(), &messages);
    for (const std::string& message : messages)
        ErrOut("kHTTPD2: %s", message.c_str());
    SetAccessPolicy(std::move(made));
}

} // namespace kxr::access

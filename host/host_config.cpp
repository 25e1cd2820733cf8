#include "host/host_config.h"

#include <algorithm>
#include <vector>

#include "kxr/rvutil.h"
#include "platform/kxr_path.h"

namespace kxrhost {

namespace {

// Large enough for any path the host writes; the store reports longer values.
constexpr uint32_t kValueBufferSize = 4096;
// Its entries begin with the user's role; the password hash behind it is
// never shown.
constexpr const char* kUsersKey = "KXR\\NetServer\\Users";

bool ReadText(const std::string& key, const std::string& name, std::string* out) {
    std::vector<char> buffer(kValueBufferSize);
    uint32_t size = kValueBufferSize;
    if (rvCFGValueString(RV_CFG_ROOT, key.c_str(), name.c_str(), buffer.data(), &size, 0) != 0) {
        return false;
    }
    *out = buffer.data();
    return true;
}

struct Entry {
    std::string name;
    uint32_t type;
};

std::vector<Entry> ListKey(const std::string& key) {
    std::vector<Entry> entries;
    char name[RV_MAX_PATH];
    std::string previous;
    uint32_t type = 0;
    while (rvCFGGetNext(RV_CFG_ROOT, key.c_str(), name, previous.c_str(), &type) == 0) {
        entries.push_back(Entry{name, type});
        previous = name;
    }
    return entries;
}

int AbsoluteValue(const std::string& base, const std::string& key, const std::string& name) {
    std::string value;
    if (!ReadText(key, name, &value) || value.empty() || IsAbsolutePath(value)) {
        return 0;
    }
    std::string absolute = MakeAbsolute(base, value);
    uint32_t size = 0;
    return rvCFGValueString(RV_CFG_ROOT, key.c_str(), name.c_str(), absolute.data(), &size, 1) == 0
               ? 1
               : 0;
}

int AbsoluteTexts(const std::string& base, const std::string& key) {
    int changed = 0;
    for (const Entry& entry : ListKey(key)) {
        if (entry.type == RV_CFG_TYPE_STRING) {
            changed += AbsoluteValue(base, key, entry.name);
        }
    }
    return changed;
}

nlohmann::ordered_json TableJson(const std::string& key) {
    nlohmann::ordered_json table = nlohmann::ordered_json::object();
    for (const Entry& entry : ListKey(key)) {
        if (entry.type == RV_CFG_TYPE_SUBKEY) {
            table[entry.name] = TableJson(key.empty() ? entry.name : key + "\\" + entry.name);
        } else if (entry.type == RV_CFG_TYPE_STRING) {
            std::string text;
            if (ReadText(key, entry.name, &text)) {
                // A user shows its role, never its password hash.
                if (key == kUsersKey) {
                    text.resize(std::min(text.size(), text.find(':')));
                }
                table[entry.name] = text;
            }
        } else if (entry.type == RV_CFG_TYPE_DWORD) {
            uint32_t number = 0;
            if (rvCFGValueDword(RV_CFG_ROOT, key.c_str(), entry.name.c_str(), &number, 0) == 0) {
                table[entry.name] = number;
            }
        }
    }
    return table;
}

} // namespace

bool IsAbsolutePath(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    if (kxr::platform::IsPathSeparator(path[0])) {
        return true;
    }
    return path.size() >= 2 && path[1] == ':';
}

std::string DirectoryOf(const std::string& filePath) {
    const size_t last = filePath.find_last_of("/\\");
    if (last == std::string::npos) {
        return ".";
    }
    return last == 0 ? filePath.substr(0, 1) : filePath.substr(0, last);
}

std::string MakeAbsolute(const std::string& base, const std::string& path) {
    if (IsAbsolutePath(path)) {
        return path;
    }
    std::string rest = path;
    while (rest.size() >= 2 && rest[0] == '.' && kxr::platform::IsPathSeparator(rest[1])) {
        rest.erase(0, 2);
    }
    if (rest == ".") {
        rest.clear();
    }
    if (base.empty() || kxr::platform::IsPathSeparator(base.back())) {
        return base + rest;
    }
    return base + kxr::platform::kPathSeparator + rest;
}

int MakeConfigPathsAbsolute(const std::string& base) {
    int changed = 0;
    changed += AbsoluteValue(base, "KXR\\NetServer", "HTTPPath");
    changed += AbsoluteValue(base, "KXR\\NetServer\\HttpDirs", "Path");
    changed += AbsoluteValue(base, "KXR\\Internal0", "Dir");
    changed += AbsoluteValue(base, "KXR\\Engine", "LogDir");
    changed += AbsoluteValue(base, "KXR\\NetServer", "AccessLog");
    changed += AbsoluteTexts(base, "KXR\\NetServer\\FileDirs");
    changed += AbsoluteTexts(base, "KXR\\Engine\\Clips");
    return changed;
}

std::string ConfiguredDocumentRoot() {
    std::string root;
    if (ReadText("KXR\\NetServer", "HTTPPath", &root) ||
        ReadText("KXR\\NetServer\\HttpDirs", "Path", &root)) {
        return root;
    }
    return std::string();
}

std::string ConfigAsJson() {
    return DumpJson(TableJson(""));
}

std::string DumpJson(const nlohmann::ordered_json& value) {
    return value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

} // namespace kxrhost

// Path splitting and joining with the classic drive/dir/name/ext rules, the
// same on every platform: "\\" and "/" both end a directory.
#include "kxr/rvutil.h"

#include "platform/kxr_path.h"

#include <cstring>
#include <string>
#include <string_view>

namespace {

using kxr::platform::IsPathSeparator;

// Copies at most size - 1 characters and always terminates.
void CopyCut(char* target, size_t size, std::string_view text) {
    if (target == nullptr || size == 0)
        return;
    const size_t n = text.size() < size - 1 ? text.size() : size - 1;
    if (n != 0)
        std::memcpy(target, text.data(), n);
    target[n] = '\0';
}

struct PathParts {
    std::string_view drive, dir, name, ext;
};

PathParts Split(std::string_view path) {
    PathParts parts;
    if (path.size() >= 2 && path[1] == ':') {
        parts.drive = path.substr(0, 2);
        path.remove_prefix(2);
    }
    size_t nameStart = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsPathSeparator(path[i]))
            nameStart = i + 1;
    }
    parts.dir = path.substr(0, nameStart);
    const std::string_view file = path.substr(nameStart);
    const size_t dot = file.rfind('.');
    parts.name = dot == std::string_view::npos ? file : file.substr(0, dot);
    parts.ext = dot == std::string_view::npos ? std::string_view() : file.substr(dot);
    return parts;
}

} // namespace

extern "C" {

void rvOSSplitPath(const char* path, char* drive, char* dir, char* name, char* ext) {
    const PathParts parts = Split(path != nullptr ? path : "");
    CopyCut(drive, RV_MAX_DRIVE, parts.drive);
    CopyCut(dir, RV_MAX_DIR, parts.dir);
    CopyCut(name, RV_MAX_FNAME, parts.name);
    CopyCut(ext, RV_MAX_EXT, parts.ext);
}

void rvOSMakePath(char* path, const char* drive, const char* dir, const char* name,
                  const char* ext) {
    if (path == nullptr)
        return;
    std::string joined;
    if (drive != nullptr && drive[0] != '\0') {
        joined += drive[0];
        joined += ':';
    }
    if (dir != nullptr && dir[0] != '\0') {
        const std::string_view d(dir);
        joined += d;
        if (!IsPathSeparator(d.back())) {
            // Keep the directory's own spelling; a bare name gets the local one.
            const size_t last = d.find_last_of("\\/");
            joined += last != std::string_view::npos ? d[last] : kxr::platform::kPathSeparator;
        }
    }
    if (name != nullptr)
        joined += name;
    if (ext != nullptr && ext[0] != '\0') {
        if (ext[0] != '.')
            joined += '.';
        joined += ext;
    }
    CopyCut(path, RV_MAX_PATH, joined);
}

uint32_t GetBaseName(const char* path, char* baseOut, uint32_t* digitCountOut) {
    const std::string_view name = Split(path != nullptr ? path : "").name;
    size_t digitsStart = name.size();
    while (digitsStart > 0 && name[digitsStart - 1] >= '0' && name[digitsStart - 1] <= '9')
        --digitsStart;
    // Frame numbers fit easily; an absurdly long run keeps its low 32 bits.
    uint32_t value = 0;
    for (size_t i = digitsStart; i < name.size(); ++i)
        value = value * 10u + static_cast<uint32_t>(name[i] - '0');
    CopyCut(baseOut, RV_MAX_FNAME, name.substr(0, digitsStart));
    if (digitCountOut != nullptr)
        *digitCountOut = static_cast<uint32_t>(name.size() - digitsStart);
    return value;
}

} // extern "C"

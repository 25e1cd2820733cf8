// The three spellings of an image sequence: a frame file (clip0005.dpx), the
// range form (clip[0001-0100].dpx) and the wildcard form (clip*.dpx).
#include <cstring>
#include <string>

#include "files/dir_scan.h"
#include "files/file_roots.h"
#include "kxr/reelio.h"

namespace kxr {

namespace {

// Thumbnails sit beside the frames but never count as frames.
constexpr const char* kPiconSuffix = ".picon.jpg";

struct PathParts {
    char drive[RV_MAX_DRIVE] = {};
    char dir[RV_MAX_DIR] = {};
    char name[RV_MAX_FNAME] = {};
    char ext[RV_MAX_EXT] = {};
};

void CopyBack(char* path, size_t capacity, const char* result) {
    if (capacity == 0) {
        return;
    }
    size_t length = std::strlen(result);
    if (length > capacity - 1) {
        length = capacity - 1;
    }
    std::memmove(path, result, length);
    path[length] = '\0';
}

// Rebuilds path (capacity bytes) from its own parts with another name.
void RebuildWithName(char* path, size_t capacity, const PathParts& parts, std::string name) {
    if (name.size() > RV_MAX_FNAME - 1) {
        name.resize(RV_MAX_FNAME - 1);
    }
    char result[RV_MAX_PATH] = {};
    rvOSMakePath(result, parts.drive, parts.dir, name.c_str(), parts.ext);
    CopyBack(path, capacity, result);
}

} // namespace

int32_t IsSequenceMember(CMyHttpClient* client, const char* path) {
    if (path == nullptr || std::strstr(path, kPiconSuffix) != nullptr) {
        return 0;
    }
    const uint32_t flags = GetFileTypeFlags(client, path);
    if (flags == RL_UNKNOWN || (flags & RL_DISCRETE) == 0) {
        return 0;
    }
    char name[RV_MAX_FNAME] = {};
    rvOSSplitPath(path, nullptr, nullptr, name, nullptr);
    char base[RV_MAX_FNAME] = {};
    uint32_t width = 0;
    GetBaseName(path, base, &width);
    return std::strlen(base) < std::strlen(name) ? 1 : 0;
}

uint32_t SequenceRangePath(CMyHttpClient* /*client*/, char* path, size_t capacity) {
    if (path == nullptr || capacity == 0) {
        return 0;
    }
    char copy[RV_MAX_PATH] = {};
    CopyBack(copy, sizeof copy, path);
    PathParts parts;
    rvOSSplitPath(copy, parts.drive, parts.dir, parts.name, parts.ext);
    char base[RV_MAX_FNAME] = {};
    uint32_t width = 0;
    const uint32_t frame = GetBaseName(copy, base, &width);

    uint32_t digitCount = 1;
    for (uint64_t threshold = 10; threshold <= 1000000000u; threshold *= 10) {
        if (frame >= threshold) {
            ++digitCount;
        }
    }
    std::string digits;
    if (width > digitCount) {
        digits.assign(width - digitCount, '0');
    }
    digits += std::to_string(frame);

    RebuildWithName(path, capacity, parts, std::string(base) + "[" + digits + "-" + digits + "]");
    return frame;
}

int32_t SequenceFramePath(CMyHttpClient* /*client*/, char* text, int32_t which) {
    if (text == nullptr || std::strstr(text, kPiconSuffix) != nullptr) {
        return 0;
    }
    char* open = std::strchr(text, '[');
    char* dash = open != nullptr ? std::strchr(open, '-') : nullptr;
    char* close = dash != nullptr ? std::strchr(dash, ']') : nullptr;
    if (close == nullptr) {
        return 0;
    }
    const char* keep = which == 0 ? open + 1 : dash + 1;
    const size_t keepLength = static_cast<size_t>((which == 0 ? dash : close) - keep);
    // Only shrinks: the kept digits and the rest move towards the start.
    std::memmove(open, keep, keepLength);
    std::memmove(open + keepLength, close + 1, std::strlen(close + 1) + 1);
    return 1;
}

int32_t SequenceWildcardPath(CMyHttpClient* client, char* path, size_t capacity) {
    if (path == nullptr || capacity == 0 || IsSequenceMember(client, path) != 1) {
        return 0;
    }
    char copy[RV_MAX_PATH] = {};
    CopyBack(copy, sizeof copy, path);
    PathParts parts;
    rvOSSplitPath(copy, parts.drive, parts.dir, parts.name, parts.ext);
    char base[RV_MAX_FNAME] = {};
    uint32_t width = 0;
    GetBaseName(copy, base, &width);
    RebuildWithName(path, capacity, parts, std::string(base) + "*");
    return 0;
}

} // namespace kxr

#include "files/dir_scan.h"

#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "access/containment.h"
#include "answer/text_codec.h"
#include "kxr/pacer.h"
#include "kxr/reelio.h"

namespace kxr {

namespace {

// The grouping's work texts: paths in a scanned directory keep at most 261
// characters.
constexpr size_t kGroupWorkSize = 262;

thread_local ScanCounters lastScan;

// The type probes of the last scanned directory, each with the size and the
// write time the file had then: a rescan probes only files that changed.
struct KnownProbe {
    uint64_t size;
    uint64_t lastWriteTime;
    uint32_t flags;
};
std::mutex knownProbesLock;
std::unordered_map<std::string, KnownProbe> knownProbes;

class ProbeScope {
public:
    ProbeScope() {
        std::lock_guard<std::mutex> hold(knownProbesLock);
        known_.swap(knownProbes);
        fresh_.reserve(known_.size());
    }
    ~ProbeScope() {
        std::lock_guard<std::mutex> hold(knownProbesLock);
        knownProbes.swap(fresh_);
    }
    ProbeScope(const ProbeScope&) = delete;
    ProbeScope& operator=(const ProbeScope&) = delete;

    // The type flags of a file that the directory search just found.
    uint32_t FlagsOf(CMyHttpClient* client, const std::string& path, const RVFindData& found) {
        uint32_t flags = RL_UNKNOWN;
        auto known = known_.find(path);
        if (known != known_.end() && known->second.size == found.size &&
            known->second.lastWriteTime == found.lastWriteTime) {
            flags = known->second.flags;
        } else {
            flags = GetFileTypeFlags(client, path.c_str());
        }
        fresh_.emplace(path, KnownProbe{found.size, found.lastWriteTime, flags});
        return flags;
    }

private:
    std::unordered_map<std::string, KnownProbe> known_;
    std::unordered_map<std::string, KnownProbe> fresh_;
};

// A frame file: a one-picture-per-file type whose name ends in digits;
// thumbnails never count.
bool IsFrameFile(const char* path, uint32_t flags) {
    if (std::strstr(path, ".picon.jpg") != nullptr || flags == RL_UNKNOWN ||
        (flags & RL_DISCRETE) == 0) {
        return false;
    }
    char name[RV_MAX_FNAME] = {};
    rvOSSplitPath(path, nullptr, nullptr, name, nullptr);
    char base[RV_MAX_FNAME] = {};
    uint32_t width = 0;
    GetBaseName(path, base, &width);
    return std::strlen(base) < std::strlen(name);
}

// The C view of a decoded request text ends at its first zero byte.
std::string Decoded(const char* text) {
    std::string decoded = DecodeRequestText(std::string_view(text != nullptr ? text : ""));
    const size_t zero = decoded.find('\0');
    if (zero != std::string::npos) {
        decoded.resize(zero);
    }
    return decoded;
}

void CopyCut(char* target, size_t capacity, std::string_view text) {
    if (target == nullptr || capacity == 0) {
        return;
    }
    const size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    std::memmove(target, text.data(), n);
    target[n] = '\0';
}

struct Parts {
    char drive[RV_MAX_DRIVE] = {};
    char dir[RV_MAX_DIR] = {};
    char name[RV_MAX_FNAME] = {};
    char ext[RV_MAX_EXT] = {};
};

Parts SplitPath(const char* path) {
    Parts parts;
    rvOSSplitPath(path, parts.drive, parts.dir, parts.name, parts.ext);
    return parts;
}

// Upper-case letters compare as lower-case; everything else byte-wise.
int CompareNoCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned ca = static_cast<unsigned char>(*a);
        unsigned cb = static_cast<unsigned char>(*b);
        if (ca >= 'A' && ca <= 'Z') {
            ca += 'a' - 'A';
        }
        if (cb >= 'A' && cb <= 'Z') {
            cb += 'a' - 'A';
        }
        if (ca != cb || ca == 0) {
            return static_cast<int>(ca) - static_cast<int>(cb);
        }
    }
}

// The range form with one of its bounds replaced; other texts stay.
std::string WithRangeBound(const char* path, const char* digits, bool first) {
    const Parts parts = SplitPath(path);
    const std::string_view name(parts.name);
    const size_t open = name.find('[');
    const size_t close = open == std::string_view::npos ? open : name.find(']', open + 1);
    if (close == std::string_view::npos) {
        return path;
    }
    const std::string_view inner = name.substr(open + 1, close - open - 1);
    const size_t dash = inner.find('-');
    std::string renamed(name.substr(0, open));
    renamed += '[';
    if (first) {
        renamed += digits;
        renamed += '-';
        renamed += dash == std::string_view::npos ? std::string_view() : inner.substr(dash + 1);
    } else {
        renamed += inner.substr(0, dash);
        renamed += '-';
        renamed += digits;
    }
    renamed += ']';
    if (renamed.size() > RV_MAX_FNAME - 1) {
        renamed.resize(RV_MAX_FNAME - 1);
    }
    char rebuilt[RV_MAX_PATH] = {};
    rvOSMakePath(rebuilt, parts.drive, parts.dir, renamed.c_str(), parts.ext);
    return rebuilt;
}

void ReplaceOwnedText(char** text, const std::string& value) {
    char* copy = NewEntryText(value.c_str());
    if (copy != nullptr) {
        RVFree(*text);
        *text = copy;
    }
}

DirEntry* MakeEntry(const std::string& path, const std::string& locator) {
    DirEntry* entry = NewDirEntry();
    if (entry == nullptr) {
        return nullptr;
    }
    entry->path = NewEntryText(path.c_str());
    entry->locator = NewEntryText(locator.c_str());
    if (entry->path == nullptr || entry->locator == nullptr) {
        FreeDirEntry(entry);
        return nullptr;
    }
    return entry;
}

// Sorted by locator without regard to case, equal locators in order of
// arrival. Directory searches deliver names in order, so the place is looked
// for from the tail.
void InsertSorted(RVList* list, DirEntry* entry) {
    RVListNode* node = list->tail;
    while (node != nullptr &&
           CompareNoCase(static_cast<DirEntry*>(node->item)->locator, entry->locator) > 0) {
        node = node->prev;
    }
    int32_t added = 0;
    if (node == nullptr) {
        added = rv_ListAddHead(list, entry);
    } else if (node->next == nullptr) {
        added = rv_ListAddTail(list, entry);
    } else {
        added = rv_ListInsertAt(list, node->next, entry);
    }
    if (added == 0) {
        FreeDirEntry(entry);
    }
}

// The wildcard form of a known frame file, without probing it again.
std::string WildcardOfMember(const char* path) {
    const Parts parts = SplitPath(path);
    char base[RV_MAX_FNAME] = {};
    uint32_t width = 0;
    GetBaseName(path, base, &width);
    std::string name = std::string(base) + "*";
    char rebuilt[RV_MAX_PATH] = {};
    rvOSMakePath(rebuilt, parts.drive, parts.dir, name.c_str(), parts.ext);
    return rebuilt;
}

// Folds frame files into the entries of their sequences.
class Grouper {
public:
    Grouper(CMyHttpClient* client, RVList* list) : client_(client), list_(list) {}

    // Returns true when the entry was folded into an existing group (and
    // released); otherwise the entry now holds its own range form.
    bool Fold(DirEntry* entry) {
        char path[kGroupWorkSize] = {};
        char locator[kGroupWorkSize] = {};
        CopyCut(path, sizeof path, entry->path);
        CopyCut(locator, sizeof locator, entry->locator);
        char* single = NewEntryText(path);
        const uint32_t number = SequenceRangePath(client_, path, sizeof path);
        const uint32_t first = SequenceRangePath(client_, locator, sizeof locator);
        char own[kGroupWorkSize] = {};
        CopyCut(own, sizeof own, path);
        SequenceFramePath(client_, own, 0);
        // own is usually the file itself, a member already probed.
        std::string key;
        if (std::strcmp(own, entry->path) == 0) {
            key = WildcardOfMember(own);
        } else {
            char wildcard[kGroupWorkSize] = {};
            CopyCut(wildcard, sizeof wildcard, own);
            SequenceWildcardPath(client_, wildcard, sizeof wildcard);
            key = wildcard;
        }

        DirEntry* group = nullptr;
        if (previous_ != nullptr && (++lastScan.keyComparisons, KeyOf(previous_) == key)) {
            group = previous_;
        } else {
            for (RVListNode* node = rv_ListHead(list_); node != nullptr; node = rv_ListNext(node)) {
                DirEntry* candidate = static_cast<DirEntry*>(node->item);
                if (IsParentEntry(candidate->path)) {
                    continue;
                }
                ++lastScan.keyComparisons;
                if (KeyOf(candidate) == key) {
                    group = candidate;
                    break;
                }
            }
            previous_ = group;
        }

        if (group == nullptr) {
            RVFree(entry->path);
            RVFree(entry->locator);
            entry->path = NewEntryText(path);
            entry->locator = NewEntryText(locator);
            entry->singlePath = single;
            entry->lastFrame = number;
            entry->firstFrame = first;
            return false;
        }
        RVFree(single);
        const Parts ownParts = SplitPath(own);
        char base[RV_MAX_FNAME] = {};
        uint32_t width = 0;
        GetBaseName(own, base, &width);
        const std::string digits = std::string(ownParts.name).substr(std::strlen(base));
        if (number < group->firstFrame) {
            group->firstFrame = number;
            ReplaceOwnedText(&group->path, WithRangeBound(group->path, digits.c_str(), true));
            ReplaceOwnedText(&group->locator, WithRangeBound(group->locator, digits.c_str(), true));
            keys_.erase(group);
        } else if (number > group->lastFrame) {
            group->lastFrame = number;
            ReplaceOwnedText(&group->path, WithRangeBound(group->path, digits.c_str(), false));
            ReplaceOwnedText(&group->locator,
                             WithRangeBound(group->locator, digits.c_str(), false));
        }
        FreeDirEntry(entry);
        return true;
    }

private:
    static bool IsParentEntry(const char* path) {
        const size_t n = std::strlen(path);
        return (n >= 1 && path[n - 1] == '.') || (n >= 2 && path[n - 2] == '.');
    }

    // The wildcard form of the entry's first frame. Only a new lower bound
    // changes it.
    const std::string& KeyOf(DirEntry* entry) {
        auto found = keys_.find(entry);
        if (found != keys_.end()) {
            return found->second;
        }
        char key[kGroupWorkSize] = {};
        CopyCut(key, sizeof key, entry->path);
        SequenceFramePath(client_, key, 0);
        SequenceWildcardPath(client_, key, sizeof key);
        return keys_.emplace(entry, key).first->second;
    }

    CMyHttpClient* client_;
    RVList* list_;
    DirEntry* previous_ = nullptr;
    std::unordered_map<const DirEntry*, std::string> keys_;
};

} // namespace

ScanCounters LastScanCounters() {
    return lastScan;
}

uint32_t GetFileTypeFlags(CMyHttpClient* /*client*/, const char* path) {
    if (path == nullptr) {
        return RL_UNKNOWN;
    }
    uint32_t flags = RL_UNKNOWN;
    if (rvOSFileExists(path) != 0) {
        const uint32_t type = rlGuessFileType(path, 0);
        if (type != RL_UNKNOWN) {
            char name[200] = {};
            char shortDescription[RL_SHORT_DESCRIPTION_SIZE] = {};
            char longDescription[255] = {};
            uint32_t value = 0;
            rlGetFileTypeInfo(type, name, shortDescription, longDescription, &flags, &value);
        }
    }
    return flags;
}

int32_t SetRangeFirst(CMyHttpClient* /*client*/, char* path, size_t capacity, const char* digits) {
    if (path != nullptr && digits != nullptr) {
        CopyCut(path, capacity, WithRangeBound(path, digits, true));
    }
    return 1;
}

int32_t SetRangeLast(CMyHttpClient* /*client*/, char* path, size_t capacity, const char* digits) {
    if (path != nullptr && digits != nullptr) {
        CopyCut(path, capacity, WithRangeBound(path, digits, false));
    }
    return 1;
}

int32_t ScanDirectory(CMyHttpClient* client, DirCache* cache, const char* realDir,
                      std::string& locatorDir) {
    if (cache == nullptr) {
        return 0;
    }
    if (!locatorDir.empty() && locatorDir.back() != '\\') {
        locatorDir += '\\';
    }
    ClearDirCache(client, cache);
    lastScan = ScanCounters();
    cache->lastUseMs = vsyncGetCurMs();
    const std::string locator = Decoded(locatorDir.c_str());
    const std::string real = Decoded(realDir);
    cache->locator = NewEntryText(locator.c_str());
    cache->realPath = NewEntryText(real.c_str());

    const Parts parts = SplitPath(real.c_str());
    char searched[RV_MAX_PATH] = {};
    rvOSMakePath(searched, parts.drive, parts.dir, nullptr, nullptr);
    char pattern[RV_MAX_PATH] = {};
    rvOSMakePath(pattern, parts.drive, parts.dir, "*", "*");
    // A directory outside the roots is one that cannot be searched.
    if (!access::IsReachable(searched[0] != '\0' ? searched : ".")) {
        return 0;
    }
    RVFindData found{};
    RVHANDLE search = rvOSFindFirstFile(pattern, &found);
    if (search == RV_INVALID_HANDLE) {
        return 0;
    }
    ProbeScope probes;
    bool more = true;
    if (std::strcmp(found.name, ".") == 0) {
        more = rvOSFindNextFile(search, &found) != 0;
    }
    // Every listing starts with the way up, whatever the directory holds.
    if (DirEntry* parent = MakeEntry(real + "..", locator + "..")) {
        if (rv_ListAddHead(&cache->entries, parent) == 0) {
            FreeDirEntry(parent);
        }
    }
    if (more && std::strcmp(found.name, "..") == 0) {
        more = rvOSFindNextFile(search, &found) != 0;
    }

    Grouper grouper(client, &cache->entries);
    for (; more; more = rvOSFindNextFile(search, &found) != 0) {
        // Hidden names, and links that lead out of the roots.
        if (found.name[0] == '.' || ((found.attributes & RV_FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
                                     !access::IsReachable(std::string(searched) + found.name))) {
            continue;
        }
        if ((found.attributes & RV_FILE_ATTRIBUTE_DIRECTORY) == 0) {
            ++lastScan.files;
        }
        const std::string path = real + found.name;
        const Parts split = SplitPath(path.c_str());
        std::string name;
        if ((found.attributes & RV_FILE_ATTRIBUTE_DIRECTORY) != 0) {
            // A directory keeps its dots.
            name = split.ext[0] != '\0' ? std::string(found.name) : std::string(split.name);
        } else {
            name = std::string(split.name) + split.ext;
        }
        DirEntry* entry = MakeEntry(path, locator + name);
        if (entry == nullptr) {
            continue;
        }
        if ((found.attributes & RV_FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            IsFrameFile(entry->path, probes.FlagsOf(client, path, found)) && grouper.Fold(entry)) {
            continue;
        }
        InsertSorted(&cache->entries, entry);
    }
    rvOSFindClose(search);

    // A numbered file without sibling frames is listed under its own name.
    for (RVListNode* node = rv_ListHead(&cache->entries); node != nullptr;
         node = rv_ListNext(node)) {
        DirEntry* entry = static_cast<DirEntry*>(node->item);
        if (entry->firstFrame != entry->lastFrame || entry->singlePath == nullptr ||
            IsSequenceMember(client, entry->singlePath) != 1) {
            continue;
        }
        const Parts single = SplitPath(entry->singlePath);
        RVFree(entry->path);
        entry->path = entry->singlePath;
        entry->singlePath = nullptr;
        ReplaceOwnedText(&entry->locator, locatorDir + single.name + single.ext);
    }
    return 1;
}

} // namespace kxr

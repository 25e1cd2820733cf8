#include "files/file_roots.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "access/containment.h"
#include "platform/kxr_path.h"

namespace kxr {

namespace {

using platform::kPathSeparator;

constexpr const char* kRecordKey = "KXR\\Internal0";
constexpr const char* kFileDirsKey = "KXR\\NetServer\\FileDirs";
constexpr const char* kRecordDriveName = "\\RecordDrive";
constexpr size_t kRecordDriveNameSize = 16;

// Module-wide, zero until the first load; only read between load and unload.
RVList rootList;
DirCache dirCache;
bool rootsLoaded = false;

// Length of the text within room bytes; a text without a terminator there
// counts as cut to room - 1.
size_t BoundedLength(const char* text, size_t room) {
    const size_t length = strnlen(text, room);
    return length < room ? length : room - 1;
}

// Copies at most room - 1 characters and a terminator; returns the count.
size_t CopyCut(char* target, size_t room, const char* source, size_t length) {
    if (room == 0) {
        return 0;
    }
    if (length > room - 1) {
        length = room - 1;
    }
    std::memmove(target, source, length);
    target[length] = '\0';
    return length;
}

char* NewText(const char* text, size_t room) {
    char* copy = static_cast<char*>(RVAlloc(room));
    if (copy != nullptr) {
        rvOSZeroMemory(copy, room);
        CopyCut(copy, room, text, std::strlen(text));
    }
    return copy;
}

void FreeRoot(FileRoot* root) {
    RVFree(root->name);
    RVFree(root->path);
    RVFree(root->reserved);
    RVFree(root);
}

void AddRoot(const char* name, size_t nameRoom, const char* path, size_t pathRoom) {
    auto* root = static_cast<FileRoot*>(RVAlloc(sizeof(FileRoot)));
    if (root == nullptr) {
        return;
    }
    rvOSZeroMemory(root, sizeof(FileRoot));
    root->made = 1;
    root->name = NewText(name, nameRoom);
    root->path = NewText(path, pathRoom);
    if (root->name == nullptr || root->path == nullptr || rv_ListAddTail(&rootList, root) == 0) {
        FreeRoot(root);
    }
}

// The engine's record directory, offered as its drive's root. Returns the
// directory itself; empty when none is configured.
std::string AddRecordDrive() {
    char value[kRootValueSize] = {};
    uint32_t size = kRootValueSize - 1;
    if (rvCFGValueString(RV_CFG_ROOT, kRecordKey, "Dir", value, &size, 0) != 0) {
        return std::string();
    }
    const std::string directory = value;
    if (value[0] != '\0' && value[1] == ':') {
        value[2] = kPathSeparator;
        value[3] = '\0';
    }
    AddRoot(kRecordDriveName, kRecordDriveNameSize, value, std::strlen(value) + kEntryTextSlack);
    return directory;
}

void AddConfiguredRoot(const char* entryName) {
    char full[2 * RV_MAX_PATH + 2];
    std::snprintf(full, sizeof full, "%s\\%s", kFileDirsKey, entryName);
    if (rvCFGHasSubKey(RV_CFG_ROOT, full) != 0) {
        return;
    }
    char value[kRootValueSize] = {};
    uint32_t size = 0;
    rvCFGValueString(RV_CFG_ROOT, kFileDirsKey, entryName, value, &size, 0);
    if (rvOSFileIsDir(value) == 0) {
        return;
    }

    char name[kRootTextSize] = {};
    if (entryName[0] == '\\') {
        CopyCut(name, sizeof name, entryName, std::strlen(entryName));
    } else {
        name[0] = '\\';
        const size_t length =
            1 + CopyCut(name + 1, sizeof name - 1, entryName, std::strlen(entryName));
        if (name[length - 1] == '\\' && length > 1) {
            name[length - 1] = '\0';
        }
    }

    char path[kRootTextSize] = {};
    const size_t length = CopyCut(path, sizeof path, value, std::strlen(value));
    if (length > 0 && path[length - 1] != kPathSeparator) {
        path[length] = kPathSeparator;
        path[length + 1] = '\0';
    }
    AddRoot(name, kRootTextSize, path, kRootTextSize);
}

// Writes root + tail into text (room bytes), the tail's locator separators
// turned into local ones; carries a second text along when one is given.
void ReplaceWithLocal(char* text, size_t room, const FileRoot* root, size_t nameLength,
                      bool carry) {
    const size_t length = BoundedLength(text, room);
    char result[kMapWorkSize] = {};
    const size_t work = room < kMapWorkSize ? room : kMapWorkSize;
    size_t used = CopyCut(result, work, root->path, std::strlen(root->path));
    if (length > nameLength + 1) {
        const size_t start = used;
        used += CopyCut(result + used, work - used, text + nameLength + 1, length - nameLength - 1);
        for (size_t i = start; i < used; ++i) {
            if (result[i] == '\\') {
                result[i] = kPathSeparator;
            }
        }
    }

    // A second text behind the first (a MediaCmd text area) goes along.
    char second[kMapWorkSize] = {};
    size_t secondLength = 0;
    if (carry && length + 1 < room) {
        const char* behind = text + length + 1;
        secondLength =
            CopyCut(second, sizeof second, behind, BoundedLength(behind, room - length - 1));
    }

    std::memcpy(text, result, used + 1);
    if (secondLength > 0 && used + 1 < room) {
        CopyCut(text + used + 1, room - used - 1, second, secondLength);
    }
}

bool StartsWith(const char* text, size_t room, const char* prefix, size_t length) {
    return length < room && std::strncmp(text, prefix, length) == 0;
}

} // namespace

// ---- the table ----

int32_t LoadFileRoots(CMyHttpClient* /*client*/) {
    if (rootsLoaded) {
        return 1;
    }
    rootsLoaded = true;
    rv_ListInit(&rootList);
    rv_ListInit(&dirCache.entries);
    dirCache.locator = nullptr;
    dirCache.realPath = nullptr;
    dirCache.cursor = nullptr;
    dirCache.lastUseMs = 0;

    const std::string recordDirectory = AddRecordDrive();

    char entry[RV_MAX_PATH] = {};
    char previous[RV_MAX_PATH] = {};
    uint32_t type = 0;
    while (rvCFGGetNext(RV_CFG_ROOT, kFileDirsKey, entry, previous, &type) != RV_CFG_NO_ENTRY) {
        std::memcpy(previous, entry, sizeof previous);
        if (type == RV_CFG_TYPE_STRING) {
            AddConfiguredRoot(entry);
        }
    }

    // Clients reach the record directory, not the whole drive that
    // "\RecordDrive" offers on Windows, and every configured root.
    std::vector<std::string> reachable{recordDirectory};
    for (RVListNode* node = rv_ListHead(&rootList); node != nullptr; node = rv_ListNext(node)) {
        const auto* root = static_cast<const FileRoot*>(node->item);
        if (std::strcmp(root->name, kRecordDriveName) != 0) {
            reachable.emplace_back(root->path);
        }
    }
    access::SetRoots(access::RootKind::Browse, reachable);
    return 1;
}

int32_t FreeFileRoots(CMyHttpClient* client) {
    if (!rootsLoaded) {
        return 1;
    }
    ClearDirCache(client, &dirCache);
    rv_ListClose(&dirCache.entries);
    for (RVListNode* node = rv_ListHead(&rootList); node != nullptr; node = rv_ListNext(node)) {
        FreeRoot(static_cast<FileRoot*>(node->item));
    }
    rv_ListClose(&rootList);
    access::SetRoots(access::RootKind::Browse, {});
    rootsLoaded = false;
    return 1;
}

RVList* FileRootList() {
    return &rootList;
}

DirCache* TheDirCache() {
    return &dirCache;
}

// ---- entries and the cache ----

char* NewEntryText(const char* text) {
    if (text == nullptr) {
        return nullptr;
    }
    return NewText(text, std::strlen(text) + kEntryTextSlack);
}

DirEntry* NewDirEntry() {
    auto* entry = static_cast<DirEntry*>(RVAlloc(sizeof(DirEntry)));
    if (entry != nullptr) {
        rvOSZeroMemory(entry, sizeof(DirEntry));
        entry->made = 1;
    }
    return entry;
}

void FreeDirEntry(DirEntry* entry) {
    if (entry == nullptr) {
        return;
    }
    RVFree(entry->locator);
    RVFree(entry->path);
    RVFree(entry->singlePath);
    RVFree(entry);
}

int32_t ClearDirCache(CMyHttpClient* /*client*/, DirCache* cache) {
    if (cache == nullptr) {
        return 0;
    }
    for (RVListNode* node = rv_ListHead(&cache->entries); node != nullptr;
         node = rv_ListNext(node)) {
        FreeDirEntry(static_cast<DirEntry*>(node->item));
    }
    rv_ListClose(&cache->entries);
    cache->cursor = nullptr;
    cache->lastUseMs = 0;
    RVFree(cache->locator);
    RVFree(cache->realPath);
    cache->locator = nullptr;
    cache->realPath = nullptr;
    return 1;
}

// ---- request paths and locators ----

int32_t ReplaceText(char* text, const char* pattern, char character) {
    if (text == nullptr || pattern == nullptr || pattern[0] == '\0') {
        return 0;
    }
    const size_t patternLength = std::strlen(pattern);
    char work[kReplaceWorkSize] = {};
    size_t length = CopyCut(work, sizeof work, text, std::strlen(text));
    char* at = work;
    while ((at = std::strstr(at, pattern)) != nullptr) {
        *at = character;
        const size_t rest = length - static_cast<size_t>(at - work) - patternLength;
        std::memmove(at + 1, at + patternLength, rest + 1);
        length -= patternLength - 1;
        // The written character is searched again, unless nothing shrank.
        if (patternLength == 1) {
            ++at;
        }
    }
    std::memcpy(text, work, length + 1);
    return 0;
}

int32_t NormalizeVirtualPath(CMyHttpClient* /*client*/, char* text) {
    if (text == nullptr) {
        return 0;
    }
    if (std::strstr(text, "%5C") != nullptr) {
        ReplaceText(text, "%5C", '\\');
    }
    if (std::strchr(text, '/') != nullptr) {
        ReplaceText(text, "/", '\\');
    }
    if (std::strstr(text, "%20") != nullptr) {
        ReplaceText(text, "%20", ' ');
    }
    return 0;
}

int32_t MapLocatorToPath(CMyHttpClient* client, char* text, size_t capacity) {
    if (text == nullptr || capacity == 0) {
        return 0;
    }
    int32_t matched = 0;
    for (RVListNode* node = rv_ListHead(&rootList); node != nullptr; node = rv_ListNext(node)) {
        const auto* root = static_cast<const FileRoot*>(node->item);
        const size_t nameLength = std::strlen(root->name);
        if (StartsWith(text, capacity, root->name, nameLength)) {
            ReplaceWithLocal(text, capacity, root, nameLength, true);
            matched = 1;
            break;
        }
        if (capacity > kInnerTextOffset &&
            StartsWith(text + kInnerTextOffset, capacity - kInnerTextOffset, root->name,
                       nameLength)) {
            ReplaceWithLocal(text + kInnerTextOffset, capacity - kInnerTextOffset, root, nameLength,
                             false);
            matched = 1;
            break;
        }
    }
    SequenceFramePath(client, text, 0);
    return matched;
}

int32_t MapPathToLocator(CMyHttpClient* /*client*/, char* text, size_t capacity) {
    if (text == nullptr || capacity == 0) {
        return 0;
    }
    const size_t length = BoundedLength(text, capacity);
    for (RVListNode* node = rv_ListHead(&rootList); node != nullptr; node = rv_ListNext(node)) {
        const auto* root = static_cast<const FileRoot*>(node->item);
        const size_t pathLength = std::strlen(root->path);
        if (pathLength > length || std::strncmp(text, root->path, pathLength) != 0) {
            continue;
        }
        char result[kMapWorkSize] = {};
        const size_t work = capacity < kMapWorkSize ? capacity : kMapWorkSize;
        size_t used = CopyCut(result, work, root->name, std::strlen(root->name));
        used += CopyCut(result + used, work - used, "\\", 1);
        const size_t start = used;
        used += CopyCut(result + used, work - used, text + pathLength, length - pathLength);
        for (size_t i = start; i < used; ++i) {
            if (result[i] == kPathSeparator) {
                result[i] = '\\';
            }
        }
        std::memcpy(text, result, used + 1);
        break;
    }
    return 0;
}

} // namespace kxr

#include "files/browse_answers.h"

#include <cstring>
#include <vector>

#include "access/containment.h"
#include "answer/http_request.h"
#include "answer/text_codec.h"
#include "answer/xml_answer.h"
#include "files/dir_scan.h"
#include "files/file_info.h"
#include "files/file_roots.h"
#include "kxr/pacer.h"
#include "kxr/rvutil.h"
#include "platform/kxr_path.h"

namespace kxr {

namespace {

constexpr const char* kRecordDriveName = "\\RecordDrive";
// MakeDir works in a path-sized buffer.
constexpr size_t kMakeDirPathMax = RV_MAX_PATH - 1;
constexpr uint32_t kMakeDirMode = 438;

// The C view of a text ends at its first zero byte.
std::string_view CText(std::string_view text) {
    const size_t zero = text.find('\0');
    return zero == std::string_view::npos ? text : text.substr(0, zero);
}

std::string Decoded(std::string_view text) {
    std::string decoded = DecodeRequestText(CText(text));
    decoded.resize(CText(decoded).size());
    return decoded;
}

void DropTrailingSpace(std::string* text) {
    if (!text->empty() && text->back() == ' ') {
        text->pop_back();
    }
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned ca = static_cast<unsigned char>(a[i]);
        unsigned cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'A' && ca <= 'Z') {
            ca += 'a' - 'A';
        }
        if (cb >= 'A' && cb <= 'Z') {
            cb += 'a' - 'A';
        }
        if (ca != cb) {
            return false;
        }
    }
    return true;
}

FileRoot* RootOf(RVListNode* node) {
    return static_cast<FileRoot*>(node->item);
}

DirEntry* EntryOf(RVListNode* node) {
    return static_cast<DirEntry*>(node->item);
}

std::string RangeToFirstFrame(CMyHttpClient* client, const std::string& text) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    SequenceFramePath(client, buffer.data(), 0);
    return buffer.data();
}

struct Described {
    std::string locator = kEndOfList;
    std::string path = kEndOfList;
    bool rootLevel = false;
    uint32_t total = 0;
};

Described NextRoot(CMyHttpClient* client, const NextDirArgs& args) {
    Described answer;
    answer.rootLevel = true;
    RVList* roots = FileRootList();
    answer.total = rv_ListCount(roots);
    RVListNode* next = nullptr;
    if (args.hasPrevious) {
        RVListNode* match = rv_ListHead(roots);
        for (; match != nullptr; match = rv_ListNext(match)) {
            const char* name = RootOf(match)->name;
            if (args.previous == name || (name[0] == '\\' && args.previous == name + 1)) {
                break;
            }
        }
        if (match == nullptr) {
            answer.locator.clear();
            answer.path.clear();
            return answer;
        }
        next = rv_ListNext(match);
        if (next != nullptr && std::strcmp(RootOf(next)->name, kRecordDriveName) == 0) {
            next = rv_ListNext(next);
        }
    } else {
        // Starting over at the roots gives up the scanned directory.
        ClearDirCache(client, TheDirCache());
        next = rv_ListHead(roots);
    }
    if (next != nullptr) {
        answer.locator = RootOf(next)->name;
        answer.path = RootOf(next)->path;
    }
    return answer;
}

Described NextEntry(CMyHttpClient* client, const NextDirArgs& args, bool flush) {
    DirCache* cache = TheDirCache();
    bool taken = false;
    if (cache->locator != nullptr) {
        if (flush) {
            ClearDirCache(client, cache);
        } else if (args.directory == cache->locator) {
            taken = true;
            cache->lastUseMs = vsyncGetCurMs();
        }
    }
    if (!taken) {
        std::string directory = args.directory;
        ScanDirectory(client, cache, LocalDirectoryOf(directory).c_str(), directory);
    }

    Described answer;
    answer.total = rv_ListCount(&cache->entries);
    RVListNode* next = nullptr;
    if (args.hasPrevious) {
        const char* previous = args.previous.c_str();
        if (cache->cursor != nullptr &&
            CompareDecoded(client, EntryOf(cache->cursor)->locator, previous) == 0) {
            next = rv_ListNext(cache->cursor);
        }
        if (next == nullptr) {
            for (RVListNode* node = rv_ListHead(&cache->entries); node != nullptr;
                 node = rv_ListNext(node)) {
                if (CompareDecoded(client, EntryOf(node)->locator, previous) == 0) {
                    next = rv_ListNext(node);
                    break;
                }
            }
        }
    } else {
        next = rv_ListHead(&cache->entries);
    }
    if (next != nullptr) {
        cache->cursor = next;
        answer.locator = EntryOf(next)->locator;
        answer.path = EntryOf(next)->path;
    }
    return answer;
}

} // namespace

NextDirArgs ParseNextDirArgs(std::string_view argument) {
    std::string text(CText(argument));
    const size_t channel = text.find("&channel=");
    if (channel != std::string::npos) {
        text.resize(channel);
    }
    NextDirArgs args;
    if (!text.empty()) {
        const std::string decoded = Decoded(text);
        const size_t amp = decoded.find('&');
        if (amp == std::string::npos) {
            args.directory = decoded;
        } else {
            args.directory = Decoded(std::string_view(decoded).substr(0, amp));
            std::string previous = Decoded(std::string_view(decoded).substr(amp + 1));
            // A previous entry always extends its directory's locator.
            if (previous.size() > args.directory.size()) {
                args.previous = std::move(previous);
                args.hasPrevious = true;
            }
        }
        DropTrailingSpace(&args.previous);
        DropTrailingSpace(&args.directory);
    }
    if (args.directory.empty() || args.directory == "\\" || args.directory == "/") {
        args.directory.clear();
        args.listRoots = true;
    } else if (args.directory.back() != '\\') {
        args.directory += '\\';
    }
    return args;
}

FileInfoArgs ParseFileInfoArgs(std::string_view argument) {
    std::string text(CText(argument));
    FileInfoArgs args;
    const size_t amp = text.find('&');
    if (amp != std::string::npos) {
        std::string tail = text.substr(amp);
        DropTrailingSpace(&tail);
        args.all = tail == "&all";
        text.resize(amp);
    }
    args.locator = Decoded(text);
    args.path = args.locator;
    for (RVListNode* node = rv_ListHead(FileRootList()); node != nullptr;
         node = rv_ListNext(node)) {
        const std::string_view name(RootOf(node)->name);
        const std::string_view locator(args.locator);
        if (locator.size() > name.size() && EqualNoCase(locator.substr(0, name.size()), name) &&
            platform::IsPathSeparator(locator[name.size()])) {
            args.path = RootOf(node)->path + platform::NativePath(locator.substr(name.size() + 1));
            break;
        }
    }
    constexpr std::string_view kAll = "&all";
    if (args.path.size() >= kAll.size() &&
        std::string_view(args.path).substr(args.path.size() - kAll.size()) == kAll) {
        args.all = true;
        args.path.resize(args.path.size() - kAll.size());
        args.locator.resize(args.locator.size() >= kAll.size() ? args.locator.size() - kAll.size()
                                                               : 0);
    }
    return args;
}

std::string LocalDirectoryOf(const std::string& directory) {
    for (RVListNode* node = rv_ListHead(FileRootList()); node != nullptr;
         node = rv_ListNext(node)) {
        const FileRoot* root = RootOf(node);
        const size_t n = std::strlen(root->name);
        if (directory.compare(0, n, root->name) == 0) {
            std::string local = root->path;
            if (directory.size() > n + 1) {
                local += platform::NativePath(std::string_view(directory).substr(n + 1));
            }
            return local;
        }
    }
    return std::string();
}

bool MakeDirPath(std::string_view argument, std::string* pathOut) {
    const std::string_view text = CText(argument);
    char buffer[kMapWorkSize] = {};
    const size_t n = text.size() < kMapWorkSize - 1 ? text.size() : kMapWorkSize - 1;
    std::memcpy(buffer, text.data(), n);
    MapLocatorToPath(nullptr, buffer, sizeof buffer);
    *pathOut = buffer;
    return text.size() <= kMakeDirPathMax && pathOut->size() <= kMakeDirPathMax;
}

std::string NextDirEntryAnswer(CMyHttpClient* client, std::string_view argument,
                               std::string_view requestText) {
    const NextDirArgs args = ParseNextDirArgs(argument);
    Described entry =
        args.listRoots ? NextRoot(client, args)
                       : NextEntry(client, args,
                                   requestText.find("NextDirEntryFlush") != std::string_view::npos);
    XmlAnswer answer("FileDir", "FileDir");
    if (entry.locator != kEndOfList) {
        BuildFileInfo(client, entry.path, entry.locator.c_str(), entry.rootLevel ? 1 : 0, 0, 0,
                      answer.Root(), entry.total);
    }
    return answer.Print();
}

std::string FileInfoAnswer(CMyHttpClient* client, std::string_view argument) {
    FileInfoArgs args = ParseFileInfoArgs(argument);
    std::string path = RangeToFirstFrame(client, args.path);
    std::string locator = RangeToFirstFrame(client, args.locator);
    int32_t endOfList = 0;
    const bool wildcard = path.find('*') != std::string::npos;
    // A file outside the roots is described as a missing one.
    if (path.empty() || (rvOSFileExists(path.c_str()) == 0 && !wildcard) ||
        (wildcard ? access::IsOutside(path) : !access::IsReachable(path))) {
        path = kEndOfList;
        locator = kEndOfList;
        endOfList = 1;
    }
    XmlAnswer answer("FileDir", "FileInfo");
    BuildFileInfo(client, path, locator.c_str(), 0, endOfList, args.all ? 1 : 0, answer.Root(), 0);
    return answer.Print();
}

std::string MakeDirAnswer(CMyHttpClient* client, std::string_view argument) {
    const std::string locator(CText(argument));
    std::string path;
    // A path that does not fit, or leads outside the roots, is not made; the
    // answer looks the same.
    if (MakeDirPath(argument, &path) && access::IsCreatable(path)) {
        rvOSMakeDir(path.c_str(), kMakeDirMode);
    }
    XmlAnswer answer("FileDir", "FileInfo");
    BuildFileInfo(client, path, locator.c_str(), 0, 1, 0, answer.Root(), 0);
    return answer.Print();
}

int32_t HandleNextDirEntry(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                           CHttpRequest* request) {
    const std::string empty;
    const std::string& argument = request != nullptr ? request->query : empty;
    const std::string& text = request != nullptr ? request->path : empty;
    MakeAnswerBody(NextDirEntryAnswer(client, argument, text), bodyOut, lengthOut);
    return 1;
}

int32_t HandleFileInfo(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                       CHttpRequest* request) {
    MakeAnswerBody(FileInfoAnswer(client, request != nullptr ? request->query : std::string()),
                   bodyOut, lengthOut);
    return 1;
}

int32_t HandleMakeDir(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                      CHttpRequest* request) {
    MakeAnswerBody(MakeDirAnswer(client, request != nullptr ? request->query : std::string()),
                   bodyOut, lengthOut);
    return 1;
}

} // namespace kxr

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <tinyxml.h>

#include "answer/module_section.h"
#include "files/browse_answers.h"
#include "files/dir_scan.h"
#include "files/file_roots.h"
#include "httpd/request_reader.h"
#include "kxr/rvutil.h"
#include "platform/kxr_file.h"
#include "platform/kxr_time.h"
#include "rest/rest_handlers.h"
#include "rest/rest_request.h"
#include "rest/rest_section.h"

namespace kxr::rest {

namespace {

constexpr size_t kDefaultPageLimit = 100;
constexpr size_t kPageLimitMax = 1000;
constexpr size_t kDigitsMax = 9;
constexpr const char* kParentName = "..";

// A directory scanned for one request only: no cursor is shared between
// clients.
class ScopedScan {
public:
    ScopedScan() { rv_ListInit(&cache_.entries); }
    ~ScopedScan() { ClearDirCache(&TheHttpClient(), &cache_); }
    ScopedScan(const ScopedScan&) = delete;
    ScopedScan& operator=(const ScopedScan&) = delete;
    DirCache* Cache() { return &cache_; }

private:
    DirCache cache_{};
};

// The browsing code reads its locators and paths as request text and decodes
// them: the escapes it would take for its own keep a name intact.
bool KeptByBrowsing(unsigned char c) {
    return c != '%' && c != '&' && c != '+' && c >= 0x20;
}

std::string RequestForm(const std::string& text) {
    return PercentEncode(text, KeptByBrowsing);
}

std::optional<size_t> ReadCount(const Request& request, const char* name, size_t fallback) {
    const QueryParameter* parameter = request.Parameter(name);
    if (parameter == nullptr)
        return fallback;
    const std::optional<uint64_t> value = ReadDigits(parameter->value, kDigitsMax);
    if (!value)
        return std::nullopt;
    return static_cast<size_t>(*value);
}

// The locator a client gave, "/" read as "\\"; nothing when it climbs with
// a ".." segment.
std::optional<std::string> ClientLocator(const QueryParameter& parameter) {
    std::string locator = parameter.value;
    for (char& c : locator)
        if (c == '/')
            c = '\\';
    if (httpd::HasParentSegment(locator.c_str()))
        return std::nullopt;
    return locator;
}

std::string UtcText(uint64_t fileTime) {
    platform::CalendarTime t;
    if (fileTime == 0 || !platform::UtcCalendar(platform::UnixFromFileTime(fileTime), &t))
        return std::string();
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

// The first and last frame of a range form, read where the browsing code
// reads them: between the first "[", the "-" after it and the "]" after that.
std::optional<std::pair<uint64_t, uint64_t>> FrameRange(std::string_view path) {
    const size_t open = path.find('[');
    const size_t dash = path.find('-', open);
    const size_t close = path.find(']', dash);
    if (close == std::string_view::npos)
        return std::nullopt;
    const auto first = ReadDigits(path.substr(open + 1, dash - open - 1), kDigitsMax);
    const auto last = ReadDigits(path.substr(dash + 1, close - dash - 1), kDigitsMax);
    if (!first || !last)
        return std::nullopt;
    return std::make_pair(*first, *last);
}

// {"name","locator","kind","size","modified"} of a local path under its
// locator, with "frames":{"first","last"} for a sequence (its path is the
// range form name[first-last].ext).
Json EntryJson(const std::string& name, const std::string& locator, const std::string& path) {
    Json entry = {{"name", name}, {"locator", locator}};
    std::vector<char> probe(path.begin(), path.end());
    probe.push_back('\0');
    const bool sequence = SequenceFramePath(&TheHttpClient(), probe.data(), 0) == 1;
    platform::FileStatus status;
    const bool found = platform::QueryFileStatus(sequence ? probe.data() : path.c_str(), &status);
    const std::optional<std::pair<uint64_t, uint64_t>> frames =
        sequence ? FrameRange(path) : std::nullopt;
    if (frames) {
        entry["kind"] = "sequence";
        entry["frames"] = {{"first", frames->first}, {"last", frames->second}};
        entry["size"] = nullptr;
    } else if (found && status.kind == platform::FileKind::Directory) {
        entry["kind"] = "folder";
        entry["size"] = nullptr;
    } else {
        entry["kind"] = "file";
        entry["size"] = found ? Json(status.size) : Json(nullptr);
    }
    const std::string modified = found ? UtcText(status.lastWriteTime) : std::string();
    entry["modified"] = modified.empty() ? Json(nullptr) : Json(modified);
    return entry;
}

std::string TailOf(const std::string& locator) {
    const size_t cut = locator.find_last_of('\\');
    return cut == std::string::npos ? locator : locator.substr(cut + 1);
}

Json RootEntries() {
    Json entries = Json::array();
    for (RVListNode* node = rv_ListHead(FileRootList()); node != nullptr;
         node = rv_ListNext(node)) {
        const auto* root = static_cast<const FileRoot*>(node->item);
        Json entry = EntryJson(TailOf(root->name), root->name, root->path);
        entry["kind"] = "folder";
        entries.push_back(std::move(entry));
    }
    return entries;
}

// The entries of a folder locator ending in "\\"; nothing when no root holds
// it or it is not a folder.
std::optional<Json> FolderEntries(const std::string& directory) {
    const std::string local = LocalDirectoryOf(directory);
    if (local.empty() || !platform::PathIsDirectory(local.c_str()))
        return std::nullopt;
    ScopedScan scan;
    std::string locatorForm = RequestForm(directory);
    if (ScanDirectory(&TheHttpClient(), scan.Cache(), RequestForm(local).c_str(), locatorForm) == 0)
        return std::nullopt;
    Json entries = Json::array();
    for (RVListNode* node = rv_ListHead(&scan.Cache()->entries); node != nullptr;
         node = rv_ListNext(node)) {
        const auto* entry = static_cast<const DirEntry*>(node->item);
        const std::string name = TailOf(entry->locator);
        if (name == kParentName)
            continue;
        entries.push_back(EntryJson(name, directory + name, entry->path));
    }
    return entries;
}

// The locator of the folder above a folder locator ending in "\\": "\\"
// (the roots) for a root.
Json ParentOf(const std::string& directory) {
    const size_t cut = directory.find_last_of('\\', directory.size() - 2);
    return cut == std::string::npos ? Json(nullptr) : Json(directory.substr(0, cut + 1));
}

// The fields of a FileInfo answer's FileDir element after its comment (the
// media file's description), in order: {"name","text"} and "value" for a
// field that carries a number.
Json MediaFields(const std::string& answer) {
    TiXmlDocument document;
    document.Parse(answer.c_str());
    Json fields = Json::array();
    const TiXmlElement* root = document.RootElement();
    bool described = false;
    for (const TiXmlNode* node = root != nullptr ? root->FirstChild() : nullptr; node != nullptr;
         node = node->NextSibling()) {
        if (node->ToComment() != nullptr && root->FirstChild() != node) {
            described = true;
            continue;
        }
        const TiXmlElement* element = node->ToElement();
        if (!described || element == nullptr)
            continue;
        Json field = {{"name", element->Value()},
                      {"text", element->GetText() != nullptr ? element->GetText() : ""}};
        int value = 0;
        if (element->QueryIntAttribute("Value", &value) == TIXML_SUCCESS)
            field["value"] = value;
        fields.push_back(std::move(field));
    }
    return fields;
}

// The file-type texts of a FileInfo answer: {"short","long","flags"}, or
// null for a file of no known type.
Json TypeOf(const std::string& answer) {
    TiXmlDocument document;
    document.Parse(answer.c_str());
    const TiXmlHandle root(document.RootElement());
    const TiXmlElement* flags = root.FirstChild("FileTypeFlags").ToElement();
    if (flags == nullptr)
        return nullptr;
    auto text = [&root](const char* name) {
        const TiXmlElement* element = root.FirstChild(name).ToElement();
        return element != nullptr && element->GetText() != nullptr ? Json(element->GetText())
                                                                   : Json(nullptr);
    };
    return Json{{"short", text("ShortFileTypeDesc")},
                {"long", text("LongFileTypeDesc")},
                {"flags", flags->GetText() != nullptr ? flags->GetText() : ""}};
}

} // namespace

Response HandleFiles(const Request& request, const Captures& /*captures*/) {
    const std::optional<size_t> offset = ReadCount(request, "offset", 0);
    const std::optional<size_t> limit = ReadCount(request, "limit", kDefaultPageLimit);
    if (!offset || !limit || *limit == 0 || *limit > kPageLimitMax)
        return Problem(400, "offset is a count from 0, limit one from 1 to " +
                                std::to_string(kPageLimitMax) + ".");
    const QueryParameter* parameter = request.Parameter("locator");
    std::string directory;
    if (parameter != nullptr) {
        const std::optional<std::string> locator = ClientLocator(*parameter);
        if (!locator)
            return Problem(400, "A locator names a place below a root, without \"..\".");
        directory = *locator;
    }
    if (directory == "\\")
        directory.clear();
    if (!directory.empty() && directory.back() != '\\')
        directory += '\\';

    Json entries;
    {
        SectionLock section;
        if (directory.empty()) {
            entries = RootEntries();
        } else if (std::optional<Json> found = FolderEntries(directory)) {
            entries = std::move(*found);
        } else {
            return Problem(404, "There is no folder " + directory + " below the roots.");
        }
    }
    const size_t total = entries.size();
    Json page = Json::array();
    for (size_t i = *offset; i < total && i < *offset + *limit; ++i)
        page.push_back(std::move(entries[i]));
    return JsonResponse(Json{{"locator", directory.empty() ? "\\" : directory},
                             {"parent", directory.empty() ? Json(nullptr) : ParentOf(directory)},
                             {"offset", *offset},
                             {"limit", *limit},
                             {"total", total},
                             {"entries", std::move(page)}});
}

Response HandleFileInfo(const Request& request, const Captures& /*captures*/) {
    const QueryParameter* parameter = request.Parameter("locator");
    if (parameter == nullptr || parameter->value.empty())
        return Problem(400, "locator names the file to describe.");
    const std::optional<std::string> locator = ClientLocator(*parameter);
    if (!locator)
        return Problem(400, "A locator names a place below a root, without \"..\".");
    const std::string argument = RequestForm(*locator);
    SectionLock section;
    const FileInfoArgs args = ParseFileInfoArgs(argument);
    std::vector<char> first(args.path.begin(), args.path.end());
    first.push_back('\0');
    const bool sequence = SequenceFramePath(&TheHttpClient(), first.data(), 0) == 1;
    if (args.path == args.locator || !platform::PathExists(first.data()))
        return Problem(404, "There is no file " + *locator + " below the roots.");
    Json info = EntryJson(TailOf(*locator), *locator, args.path);
    if (!sequence && info["kind"] == "folder") {
        info["type"] = nullptr;
        info["media"] = Json::array();
        return JsonResponse(info);
    }
    const std::string answer = FileInfoAnswer(&TheHttpClient(), argument + "&all");
    info["type"] = TypeOf(answer);
    info["media"] = MediaFields(answer);
    return JsonResponse(info);
}

} // namespace kxr::rest

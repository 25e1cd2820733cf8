#include "files/file_info.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "access/containment.h"
#include "answer/text_codec.h"
#include "files/file_roots.h"
#include "files/media_description.h"
#include "kxr/reelio.h"
#include "kxr/rvutil.h"
#include "platform/kxr_file.h"
#include "platform/kxr_time.h"

namespace kxr {

namespace {

namespace plat = kxr::platform;

// Decoded paths and name texts live in path-sized buffers; the encoded
// locator keeps at most 520 characters.
constexpr size_t kDecodedPathMax = RV_MAX_PATH - 1;
constexpr size_t kEncodedLocatorMax = 520;

constexpr const char* kSequenceThumbnail = ".picon.jpg";
constexpr const char* kFileThumbnail = "picon.jpg";
constexpr const char* kDirectoryIcon = "Graphics\\f0.gif";

struct AttributeLetter {
    char letter;
    uint32_t bit;
};
constexpr AttributeLetter kAttributeLetters[] = {
    {'a', 0x20},   {'c', 0x800}, {'d', 0x10}, {'e', 0x4000}, {'h', 0x2},
    {'o', 0x1000}, {'r', 0x1},   {'s', 0x4},  {'t', 0x100},
};

struct TypeFlag {
    const char* name;
    uint32_t bit;
};
constexpr TypeFlag kTypeFlags[] = {
    {"CanRead", RL_CAN_READ},      {"CanWrite", RL_CAN_WRITE}, {"IsDiscreet", RL_DISCRETE},
    {"CanAudio", RL_AUDIO},        {"CanVideo", RL_VIDEO},     {"CanInfo", RL_INFO},
    {"IsContainer", RL_CONTAINER},
};

// The path that is read. Decoding it once more lets a name that a client
// made, such as "%2e%2e%2fx", lead somewhere else than it names; when that
// is outside the roots nothing is read from it. (The callers have vetted the
// path itself.)
std::string DecodedPath(const std::string& path) {
    std::string decoded = DecodeRequestText(path);
    const size_t zero = decoded.find('\0');
    if (zero != std::string::npos) {
        decoded.resize(zero);
    }
    if (decoded.size() > kDecodedPathMax) {
        decoded.resize(kDecodedPathMax);
    }
    if (decoded != path && access::IsOutside(decoded)) {
        decoded.clear();
    }
    return decoded;
}

std::string EncodedLocator(const char* locator) {
    std::string encoded = EncodeEntities(std::string_view(locator != nullptr ? locator : ""));
    if (encoded.size() > kEncodedLocatorMax) {
        encoded.resize(kEncodedLocatorMax);
    }
    return encoded;
}

std::string FileTimeText(uint64_t fileTime) {
    plat::CalendarTime local;
    if (!plat::LocalCalendar(plat::UnixFromFileTime(fileTime), &local)) {
        return std::string();
    }
    char text[96];
    std::snprintf(text, sizeof text, "%04ld-%02ld-%02ldT%02ld:%02ld:%02ld+00:00",
                  static_cast<long>(local.year), static_cast<long>(local.month),
                  static_cast<long>(local.day), static_cast<long>(local.hour),
                  static_cast<long>(local.minute), static_cast<long>(local.second));
    return text;
}

// Size, times and attributes of an openable file; only a size otherwise.
void AppendFileStatus(TiXmlElement* parent, const std::string& decoded) {
    const plat::FileHandle file =
        plat::FileOpen(decoded.c_str(), plat::kFileRead, plat::FileDisposition::OpenExisting);
    plat::FileStatus status;
    if (file != plat::kInvalidFile && plat::QueryFileStatus(decoded.c_str(), &status)) {
        plat::FileClose(file);
        AppendTextElement(parent, "Size", std::to_string(status.size));
        const struct {
            const char* name;
            uint64_t time;
        } times[] = {{"CreationTime", status.creationTime},
                     {"LastAccessTime", status.lastAccessTime},
                     {"LastWriteTime", status.lastWriteTime}};
        for (const auto& t : times) {
            if (t.time == 0) {
                continue;
            }
            const std::string text = FileTimeText(t.time);
            if (!text.empty()) {
                AppendTextElement(parent, t.name, text);
            }
        }
        AppendTextElement(parent, "Attrib", AttributeLetters(status.attributes));
        return;
    }
    if (file != plat::kInvalidFile) {
        plat::FileClose(file);
    }
    int64_t size = 0;
    RVHANDLE handle =
        rvOSCreateFile(decoded.c_str(), RV_GENERIC_READ, 7, nullptr, RV_OPEN_EXISTING, 0, nullptr);
    if (handle != RV_INVALID_HANDLE) {
        if (rvOSGetFileSizeEx(handle, &size) == 0) {
            size = 0;
        }
        rvOSCloseFile(handle);
    }
    char text[24];
    std::snprintf(text, sizeof text, "%ld",
                  static_cast<long>(static_cast<int32_t>(static_cast<uint32_t>(size))));
    AppendTextElement(parent, "Size", text);
}

void AppendTypeDescription(TiXmlElement* parent, const std::string& decoded) {
    const uint32_t type = rlGuessFileType(decoded.c_str(), 0);
    if (type == RL_UNKNOWN) {
        return;
    }
    char name[256] = {};
    char shortDescription[RL_SHORT_DESCRIPTION_SIZE] = {};
    char longDescription[RL_LONG_DESCRIPTION_SIZE] = {};
    uint32_t flags = 0;
    uint32_t value = 0;
    if (rlGetFileTypeInfo(type, name, shortDescription, longDescription, &flags, &value) ==
        RL_UNKNOWN) {
        return;
    }
    if (shortDescription[0] != '\0') {
        AppendTextElement(parent, "ShortFileTypeDesc", shortDescription);
    }
    if (longDescription[0] != '\0') {
        AppendTextElement(parent, "LongFileTypeDesc", longDescription);
    }
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", flags);
    TiXmlElement* element = AppendTextElement(parent, "FileTypeFlags", text);
    for (const TypeFlag& flag : kTypeFlags) {
        element->SetAttribute(flag.name, (flags & flag.bit) != 0 ? 1 : 0);
    }
}

} // namespace

TiXmlElement* AppendTextElement(TiXmlElement* parent, const char* name, const std::string& text) {
    TiXmlElement* element = new TiXmlElement(name);
    if (!text.empty()) {
        element->LinkEndChild(new TiXmlText(text.c_str()));
    }
    parent->LinkEndChild(element);
    return element;
}

TiXmlElement* AppendValueElement(TiXmlElement* parent, const char* name, int32_t value) {
    const std::string text = std::to_string(value);
    TiXmlElement* element = AppendTextElement(parent, name, text);
    element->SetAttribute("Value", text.c_str());
    return element;
}

TiXmlElement* AppendValueElement(TiXmlElement* parent, const char* name, uint32_t value) {
    const std::string text = std::to_string(value);
    TiXmlElement* element = AppendTextElement(parent, name, text);
    element->SetAttribute("Value", text.c_str());
    return element;
}

std::string ThumbnailPath(const std::string& path, bool sequence) {
    const size_t cut = sequence ? 5 : 3;
    return path.substr(0, path.size() > cut ? path.size() - cut : 0) +
           (sequence ? kSequenceThumbnail : kFileThumbnail);
}

std::string AttributeLetters(uint32_t attributes) {
    std::string letters;
    for (const AttributeLetter& a : kAttributeLetters) {
        if ((attributes & a.bit) != 0) {
            letters += a.letter;
        }
    }
    return letters;
}

int32_t BuildFileInfo(CMyHttpClient* client, std::string& path, const char* locator,
                      int32_t isRootLevel, int32_t endOfList, int32_t all, TiXmlElement* parent,
                      uint32_t totalInDir) {
    const std::string decoded = DecodedPath(path);
    const bool isDirectory = rvOSFileIsDir(decoded.c_str()) != 0;
    char name[RV_MAX_FNAME] = {};
    char ext[RV_MAX_EXT] = {};
    rvOSSplitPath(path.c_str(), nullptr, nullptr, name, ext);
    std::string fileName = name;
    std::string fileExt = ext;
    if (isDirectory) {
        // A directory's name keeps its dots.
        fileName += fileExt;
        fileExt.clear();
    }
    const size_t nameLength = fileName.size() + fileExt.size();

    const std::string encoded = EncodedLocator(locator);
    AppendTextElement(parent, "Locator", encoded)
        ->SetAttribute("IsEndOfList", endOfList != 0 ? 1 : 0);
    AppendTextElement(parent, "Path", path);
    if (endOfList != 0) {
        return 1;
    }
    AppendTextElement(parent, "PathRoot",
                      path.substr(0, path.size() > nameLength ? path.size() - nameLength : 0));
    AppendTextElement(parent, "LocatorRoot", encoded);
    if (fileName.empty()) {
        AppendTextElement(parent, "FileName", encoded);
    } else {
        AppendTextElement(parent, "FileName", isDirectory ? "\\" + fileName : fileName);
    }
    if (fileExt.size() > 1) {
        AppendTextElement(parent, "FileExt", fileExt.substr(1));
    }
    AppendValueElement(parent, "TotalFilesInDir", totalInDir);

    char probe[kMapWorkSize] = {};
    std::snprintf(probe, sizeof probe, "%s", path.c_str());
    const bool sequence = SequenceFramePath(client, probe, 1) == 1;

    TiXmlElement* fileType = nullptr;
    if (isRootLevel == 1 || (rvOSFileExists(decoded.c_str()) != 0 && isDirectory && !sequence)) {
        fileType = AppendTextElement(parent, "FileType", "Directory");
        fileType->SetAttribute("IsDirectory", 1);
        fileType->SetAttribute("IsSequence", 0);
        AppendTextElement(parent, "Icon", kDirectoryIcon);
        return 1;
    }
    fileType = AppendTextElement(parent, "FileType", "Unknown");
    fileType->SetAttribute("IsDirectory", 0);
    fileType->SetAttribute("IsSequence", sequence ? 1 : 0);
    if (sequence) {
        char wildcard[kMapWorkSize] = {};
        std::snprintf(wildcard, sizeof wildcard, "%s", path.c_str());
        MapLocatorToPath(client, wildcard, sizeof wildcard);
        SequenceWildcardPath(client, wildcard, sizeof wildcard);
        path = wildcard;
    }
    const std::string thumbnail = ThumbnailPath(path, sequence);
    if (rvOSFileExists(thumbnail.c_str()) != 0) {
        char thumbName[RV_MAX_FNAME] = {};
        char thumbExt[RV_MAX_EXT] = {};
        rvOSSplitPath(thumbnail.c_str(), nullptr, nullptr, thumbName, thumbExt);
        AppendTextElement(parent, "Icon", std::string(thumbName) + thumbExt);
    } else {
        AppendTextElement(parent, "Icon", std::string());
    }

    AppendFileStatus(parent, decoded);
    AppendTypeDescription(parent, decoded);
    if (all != 0 && AppendMediaDescription(client, decoded.c_str(), parent) != 0) {
        ErrOut("MF not closed");
    }
    return 1;
}

} // namespace kxr

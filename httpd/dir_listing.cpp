#include "httpd/dir_listing.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "access/containment.h"
#include "httpd/html_text.h"
#include "httpd/listener.h"
#include "httpd/response_head.h"
#include "httpd/server_settings.h"
#include "platform/kxr_file.h"

namespace kxr::httpd {

struct DirectoryList {
    std::vector<std::string> names;
    size_t next = 0;
};

namespace {

constexpr size_t kLinkSize = 4096;

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// Text from the third character: "./" and what follows it is the target.
const char* Tail(const char* text) {
    return std::strlen(text) >= 2 ? text + 2 : "";
}

} // namespace

DirectoryList* OpenDirectory(const char* path) {
    if (path == nullptr || std::strlen(path) > kDirectoryPathMax)
        return nullptr;
    std::string dir(path);
    if (dir.empty()) {
        dir = ".";
    } else if (dir.size() >= 2 && dir[0] == '/' && dir[1] == '/') {
        if (dir.back() != '/')
            dir += '/';
    } else if (dir.size() > 1 && IsSeparator(dir.back())) {
        dir.pop_back();
        if (dir.back() == ':')
            dir += "/.";
    } else if (dir.back() == ':') {
        dir += '.';
    }
    if (!platform::PathIsDirectory(dir.c_str()) || !access::IsReachable(dir))
        return nullptr;
    std::string pattern = dir;
    if (!IsSeparator(pattern.back()))
        pattern += '/';
    pattern += '*';
    std::vector<platform::DirEntry> entries;
    if (!platform::ListDirectory(pattern.c_str(), &entries))
        return nullptr;
    auto list = std::make_unique<DirectoryList>();
    list->names.reserve(entries.size());
    for (auto& entry : entries) {
        // A link that leads out of the roots is not there for a client.
        if ((entry.status.attributes & platform::kAttrReparsePoint) == 0 ||
            access::IsReachable(pattern.substr(0, pattern.size() - 1) + entry.name))
            list->names.push_back(std::move(entry.name));
    }
    return list.release();
}

const char* NextDirectoryEntry(DirectoryList* list) {
    if (list == nullptr || list->next >= list->names.size())
        return nullptr;
    return list->names[list->next++].c_str();
}

void CloseDirectory(DirectoryList* list) {
    delete list;
}

void ServeDirectoryListing(ConnectionRecord* record, int32_t headOnly, char* path, size_t capacity,
                           const char* requested) {
    if (path == nullptr || requested == nullptr || capacity == 0)
        return;
    const ServerSettings& s = GetServerSettings();
    auto buffer = std::make_unique<char[]>(kSendBufferSize);
    DirectoryList* list = s.noDirList == 1 ? nullptr : OpenDirectory(path);
    if (list == nullptr) {
        const size_t length = strnlen(path, capacity - 1);
        if (length > 0 && path[length - 1] == '/')
            path[length - 1] = '\0';
        SetStatus(record, 404);
        BuildResponseHead(record, headOnly, buffer.get(), kSendBufferSize);
        return;
    }
    std::unique_ptr<DirectoryList, void (*)(DirectoryList*)> owned(list, CloseDirectory);

    SetContentTypeFromPath(record, ".html");
    SetStatus(record, 201);
    const int32_t headLength = BuildResponseHead(record, headOnly, buffer.get(), kSendBufferSize);
    if (headLength <= 0)
        return;
    size_t used = static_cast<size_t>(headLength);
    if (headOnly != 0) {
        SendAll(record, buffer.get(), used);
        return;
    }
    // At most 4096 characters of the path are looked at.
    const std::string dir(path, strnlen(path, capacity < kLinkSize ? capacity : kLinkSize));
    const std::string base(requested, strnlen(requested, kLinkSize));
    // Names become neither markup nor broken links.
    const std::string shown = HtmlText(Tail(base.c_str()));
    const int n = std::snprintf(buffer.get() + used, kSendBufferSize - used,
                                "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">\n"
                                "<HTML><HEAD><TITLE>Index of %s</TITLE></HEAD><BODY><H1>Index "
                                "of %s</H1><PRE><HR>\n",
                                shown.c_str(), shown.c_str());
    if (n > 0)
        used += static_cast<size_t>(n) < kSendBufferSize - used ? static_cast<size_t>(n)
                                                                : kSendBufferSize - used - 1;
    if (!SendAll(record, buffer.get(), used))
        return;

    std::string link;
    std::string line;
    for (const char* name = NextDirectoryEntry(list); name != nullptr;
         name = NextDirectoryEntry(list)) {
        if (std::strcmp(name, ".") == 0)
            continue;
        const char* slash = "";
        if (std::strcmp(name, "..") != 0) {
            link = dir + name;
            if (link.size() > kLinkSize - 1)
                link.resize(kLinkSize - 1);
            const bool folder = platform::PathIsDirectory(link.c_str());
            link = base + name;
            if (link.size() > kLinkSize - 1)
                link.resize(kLinkSize - 1);
            if (folder) {
                link += '/';
                slash = "/";
            }
            line = "<A href=\"";
            AppendUrlText(line, Tail(link.c_str()));
        } else {
            if (base.size() < 4)
                continue;
            link = base;
            if (link.back() == '/')
                link.pop_back();
            const size_t last = link.rfind('/');
            slash = "/";
            line = "<A href=\"";
            if (last == std::string::npos) {
                line += '/';
            } else {
                link.resize(last + 1);
                AppendUrlText(line, Tail(link.c_str()));
            }
        }
        line += "\">";
        AppendHtmlText(line, name);
        line += slash;
        line += "</A>\n";
        if (!SendAll(record, line.data(), line.size()))
            return;
    }
    owned.reset();

    char end[256];
    const int m =
        s.showServerName == 1
            ? std::snprintf(end, sizeof end,
                            "</PRE><HR><ADDRESS>%s Server Port %d</ADDRESS></BODY></HTML>",
                            kServerName, static_cast<int>(s.port))
            : std::snprintf(end, sizeof end, "</PRE><HR></BODY></HTML>");
    if (m > 0)
        SendAll(record, end, static_cast<size_t>(m));
}

} // namespace kxr::httpd

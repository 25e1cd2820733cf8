#include "httpd/server_settings.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "access/containment.h"
#include "httpd/file_conditions.h"
#include "kxr/rvutil.h"
#include "platform/kxr_file.h"

namespace kxr::httpd {

namespace {

ServerSettings settings{kDefaultPort,     nullptr, kDefaultLogFileName, kDefaultDocumentRoot, 0, 0,
                        kDefaultDocument, 1};
// The owned document root. It is never freed, so a connection still reading
// the previous root cannot touch released memory.
char ownedRoot[kDocumentRootSize];

std::mutex logLock;
FILE* logStream = nullptr;
char logStreamBuffer[512];

constexpr size_t kLogMessageSize = 1024;

const char kUsage[] =
    "Usage: %s [options] (%s)\nOptions:\n"
    " -h, /?, --help           Display this information\n"
    " -p, --port <port>        Listen on port <port> (default %d)\n"
    " -i, --interface <ip>     Specify the interface the server listens on (default: ALL)\n"
    " -l, --log <file>         Save the log file as <file> (default: %s)\n"
    " --nolog                  Disables logging, overrides any '--log' setting\n"
    " -r, --root <path>        Specify the document root directory (default: %s)\n"
    " -d, --default <filename> Specify the default document filename in a directory "
    "(default: %s)\n"
    " --nodirlist              Do not do any directory listings, just return a '404 File not "
    "found'\n"
    " --noname                 Do not specify server name in directory listings or HTTP "
    "headers\n";

enum class Option { None, Port, Log, Root, Interface, NoLog, NoDirList, Default, NoName };

struct OptionRow {
    const char* longForm;
    char shortForm; // 0: none
    Option option;
    bool takesValue;
};

constexpr OptionRow kOptions[] = {
    {"--port", 'p', Option::Port, true},       {"--log", 'l', Option::Log, true},
    {"--root", 'r', Option::Root, true},       {"--interface", 'i', Option::Interface, true},
    {"--nolog", 0, Option::NoLog, false},      {"--nodirlist", 0, Option::NoDirList, false},
    {"--default", 'd', Option::Default, true}, {"--noname", 0, Option::NoName, false},
};

bool IsShortForm(const char* element, char letter) {
    return (element[0] == '-' || element[0] == '/') && element[1] == letter && element[2] == '\0';
}

const OptionRow* MatchOption(const char* element) {
    for (const OptionRow& row : kOptions) {
        if (std::strcmp(element, row.longForm) == 0 ||
            (row.shortForm != 0 && IsShortForm(element, row.shortForm)))
            return &row;
    }
    return nullptr;
}

[[noreturn]] void PrintUsageAndExit(const char* first) {
    std::fputs(ServerUsageText(first).c_str(), stdout);
    std::fflush(stdout);
    std::exit(0);
}

// False (with the message reported) when the value is rejected.
bool ApplyPort(const char* value) {
    int64_t port = 0;
    if (!ReadDecimal(value, &port))
        port = 0;
    if (port <= 0 || port > 65535) {
        ErrOut("Bad port \"%s\". Must be integer from 1 to 65535.\n", value);
        return false;
    }
    settings.port = static_cast<uint32_t>(port);
    return true;
}

bool ApplyRoot(const char* value) {
    char root[kDocumentRootSize];
    const size_t length = std::strlen(value);
    size_t kept = length;
    if (kept > 0 && value[kept - 1] == '\\')
        --kept;
    if (kept >= sizeof root) {
        // Too long for the owned copy: report it by what was asked for.
        std::string shown(value, kept);
        ErrOut("Invalid root \"%s\". Must be a valid directory.\n", shown.c_str());
        return false;
    }
    std::memcpy(root, value, kept);
    root[kept] = '\0';
    if (!platform::PathIsDirectory(root)) {
        ErrOut("Invalid root \"%s\". Must be a valid directory.\n", root);
        return false;
    }
    if (std::strcmp(root, settings.documentRoot) != 0) {
        std::memcpy(ownedRoot, root, kept + 1);
        settings.documentRoot = ownedRoot;
    }
    access::SetRoots(access::RootKind::Document, {settings.documentRoot});
    return true;
}

void WriteLogLine(const char* text) {
    std::lock_guard<std::mutex> lock(logLock);
    if (settings.logEnabled != 1 || logStream == nullptr)
        return;
    std::fputs(text, logStream);
    std::fputs("\n", logStream);
    std::fflush(logStream);
}

} // namespace

ServerSettings& GetServerSettings() {
    return settings;
}

std::string ServerUsageText(const char* programName) {
    const char* name = programName != nullptr ? programName : "";
    const int length =
        std::snprintf(nullptr, 0, kUsage, name, kServerName, static_cast<int>(kDefaultPort),
                      kDefaultLogFileName, kDefaultDocumentRoot, kDefaultDocument);
    if (length <= 0)
        return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::snprintf(text.data(), text.size(), kUsage, name, kServerName,
                  static_cast<int>(kDefaultPort), kDefaultLogFileName, kDefaultDocumentRoot,
                  kDefaultDocument);
    text.resize(static_cast<size_t>(length));
    return text;
}

void SetServerDefaults() {
    settings.port = kDefaultPort;
    settings.interface = nullptr;
    settings.logFileName = kDefaultLogFileName;
    settings.documentRoot = kDefaultDocumentRoot;
    access::SetRoots(access::RootKind::Document, {settings.documentRoot});
    settings.logEnabled = 0;
    settings.noDirList = 0;
    settings.defaultDocument = kDefaultDocument;
    settings.showServerName = 1;
}

void ParseServerOptions(int argc, const char* const* argv) {
    if (argv == nullptr || argc <= 0)
        return;
    const char* first = argv[0] != nullptr ? argv[0] : "";
    const OptionRow* pending = nullptr;
    for (int i = 0; i < argc; ++i) {
        const char* element = argv[i];
        if (element == nullptr)
            continue;
        if (pending != nullptr) {
            const Option option = pending->option;
            pending = nullptr;
            switch (option) {
            case Option::Port:
                if (!ApplyPort(element))
                    return;
                break;
            case Option::Log:
                settings.logFileName = element;
                break;
            case Option::Root:
                if (!ApplyRoot(element))
                    return;
                break;
            case Option::Interface:
                settings.interface = element;
                break;
            case Option::Default:
                settings.defaultDocument = element;
                break;
            default:
                break;
            }
            continue;
        }
        const OptionRow* row = MatchOption(element);
        if (row == nullptr) {
            if (std::strcmp(element, "--help") == 0 || IsShortForm(element, 'h') ||
                IsShortForm(element, '?'))
                PrintUsageAndExit(first);
            ErrOut("Unknown parameter \"%s\". Type \"%s --help\" for more info.\n", element, first);
            return;
        }
        if (row->takesValue) {
            pending = row;
            continue;
        }
        switch (row->option) {
        case Option::NoLog:
            settings.logEnabled = 0;
            break;
        case Option::NoDirList:
            settings.noDirList = 1;
            break;
        case Option::NoName:
            settings.showServerName = 0;
            break;
        default:
            break;
        }
    }
}

void OpenServerLog(const char* fileName) {
    std::lock_guard<std::mutex> lock(logLock);
    if (settings.logEnabled != 1)
        return;
    if (logStream != nullptr && logStream != stdout)
        std::fclose(logStream);
    logStream = fileName != nullptr ? std::fopen(fileName, "at") : nullptr;
    if (logStream == nullptr) {
        std::printf("Warning: Failed to open logfile \"%s\", printing logs to stdout.\n",
                    fileName != nullptr ? fileName : "");
        logStream = stdout;
    }
    std::setvbuf(logStream, logStreamBuffer, _IOFBF, sizeof logStreamBuffer);
}

void CloseServerLog() {
    std::lock_guard<std::mutex> lock(logLock);
    if (logStream != nullptr && logStream != stdout)
        std::fclose(logStream);
    logStream = nullptr;
}

void LogInfo(const char* format, ...) {
    char message[kLogMessageSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    WriteLogLine(message);
    std::printf("%s\n", message);
}

void LogCritical(const char* format, ...) {
    char message[kLogMessageSize];
    static constexpr char kPrefix[] = "Critical: ";
    std::memcpy(message, kPrefix, sizeof kPrefix);
    va_list args;
    va_start(args, format);
    std::vsnprintf(message + sizeof kPrefix - 1, sizeof message - (sizeof kPrefix - 1), format,
                   args);
    va_end(args);
    WriteLogLine(message);
    std::fprintf(stderr, "%s\n", message);
}

void LogLine(const char* format, ...) {
    if (settings.logEnabled != 1)
        return;
    char message[kLogMessageSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    WriteLogLine(message);
}

} // namespace kxr::httpd

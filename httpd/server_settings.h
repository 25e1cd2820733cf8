// Server settings, the command-line style option parser and the server log.
#ifndef KXR_HTTPD_SERVER_SETTINGS_H
#define KXR_HTTPD_SERVER_SETTINGS_H

#include <cstddef>
#include <cstdint>
#include <string>

#if defined(__GNUC__)
#define KXR_PRINTF_LIKE(f, a) __attribute__((format(printf, f, a)))
#else
#define KXR_PRINTF_LIKE(f, a)
#endif

namespace kxr::httpd {

inline constexpr const char* kServerName = "TarvikWebServer";
inline constexpr uint32_t kDefaultPort = 80;
inline constexpr const char* kDefaultLogFileName = "localwebsvr.log";
inline constexpr const char* kDefaultDocumentRoot = "C:\\Share\\inetpub";
inline constexpr const char* kDefaultDocument = "index.html";
// The owned copy of a document root, terminator included.
inline constexpr size_t kDocumentRootSize = 260;

// Text fields other than documentRoot point into the vector handed to
// ParseServerOptions, which must outlive the server.
struct ServerSettings {
    uint32_t port;
    const char* interface; // null: every interface
    const char* logFileName;
    const char* documentRoot;
    int32_t logEnabled;
    int32_t noDirList;
    const char* defaultDocument;
    int32_t showServerName;
};

// The module-wide settings.
ServerSettings& GetServerSettings();

void SetServerDefaults();
inline void ResetServerSettings() {
    SetServerDefaults();
}

// Applies options such as "-p 8080 -r C:\\www"; the first element also stands
// in for the program name in messages. Stops at the first error, which goes
// to ErrOut; a rejected value leaves its field as it was. "--help" prints the
// usage text and ends the process.
void ParseServerOptions(int argc, const char* const* argv);
// The text "--help" prints.
std::string ServerUsageText(const char* programName);

// Opens the log file when logging is enabled (never, in the module).
void OpenServerLog(const char* fileName);
void CloseServerLog();

// Information: log and standard output. Critical: "Critical: " prefix, log
// and standard error. LogLine: log only. Each is cut to 1023 characters.
void LogInfo(const char* format, ...) KXR_PRINTF_LIKE(1, 2);
void LogCritical(const char* format, ...) KXR_PRINTF_LIKE(1, 2);
void LogLine(const char* format, ...) KXR_PRINTF_LIKE(1, 2);

} // namespace kxr::httpd

#endif

// What the host does to its configuration store before the module starts.
#ifndef KXR_HOST_HOST_CONFIG_H
#define KXR_HOST_HOST_CONFIG_H

#include <string>

namespace kxrhost {

// True for "/x", "\\x" and drive paths such as "C:\\x".
bool IsAbsolutePath(const std::string& path);
// The directory part of a file path ("." when it has none).
std::string DirectoryOf(const std::string& filePath);
// base + separator + path, for a relative path; an absolute one unchanged.
std::string MakeAbsolute(const std::string& base, const std::string& path);

// Rewrites every relative path of the configuration (document roots, the
// record directory, file roots, engine clips and log directory) against
// base and stores the result. Returns how many values it changed.
int MakeConfigPathsAbsolute(const std::string& base);

// The document root the module will serve: "HTTPPath", else "Path" of the
// HttpDirs key; empty when neither is set.
std::string ConfiguredDocumentRoot();

// The configuration store as one JSON object: tables as objects, texts as
// strings, 32-bit values as numbers. A user of [KXR.NetServer.Users] shows
// only its role.
std::string ConfigAsJson();

// Text as the body of a JSON string (quotes not included).
std::string JsonEscape(const std::string& text);

} // namespace kxrhost

#endif

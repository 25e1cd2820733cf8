// What the host does to its configuration store before the module starts.
#ifndef KXR_HOST_HOST_CONFIG_H
#define KXR_HOST_HOST_CONFIG_H

#include <string>

#include <nlohmann/json.hpp>

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
// strings, 32-bit values as numbers, in the file's order. A user of
// [KXR.NetServer.Users] shows only its role.
std::string ConfigAsJson();

// JSON text of a value; bytes that are not UTF-8 (a path, a name) are
// replaced rather than failing the answer.
std::string DumpJson(const nlohmann::ordered_json& value);

} // namespace kxrhost

#endif

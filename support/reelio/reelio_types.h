// The table of file types and the fast type guess: extension and the first
// bytes only, so a directory scan can afford it for every file.
#ifndef KXR_REELIO_TYPES_H
#define KXR_REELIO_TYPES_H

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace reelio {

struct FileTypeEntry {
    uint32_t code;
    const char* name;
    const char* shortDescription;
    const char* longDescription;
    uint32_t flags;
    // The FFmpeg demuxer that reads the type, by its run-time name. The
    // Windows build of FFmpeg enables these and no other
    // (scripts/build-windows-ffmpeg).
    const char* demuxer;
};

struct ExtensionEntry {
    const char* extension; // lower case, without the dot
    uint32_t code;
};

// The whole table: every type, and the extensions that name one.
const std::vector<FileTypeEntry>& FileTypes();
const std::vector<ExtensionEntry>& FileExtensions();

// How many leading bytes the guess looks at.
constexpr std::size_t kGuessBytes = 32;

const FileTypeEntry* FindFileType(uint32_t code);
// The type named by the path's extension (case-insensitive), or RL_UNKNOWN.
uint32_t TypeFromExtension(std::string_view path);
// The type whose signature the bytes carry, or RL_UNKNOWN.
uint32_t TypeFromSignature(const uint8_t* head, std::size_t size);
// Combines both: a signature wins (a misnamed file); an extension is trusted
// unless the bytes contradict a type that always carries a signature.
// `head` may be null when the file could not be read.
uint32_t GuessFileType(std::string_view path, const uint8_t* head, std::size_t size);

} // namespace reelio

#endif

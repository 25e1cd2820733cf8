// File roots: the local directories that clients may browse, each offered
// under a virtual name ("\RecordDrive", "\Media"), and the translations
// between a client's locator ("\Media\clips\a.mov") and a local path.
//
// Who provides what in files/:
//   file_roots.cpp     the root table, the directory cache slot, DirEntry
//                      allocation and release (NewEntryText, NewDirEntry,
//                      FreeDirEntry, ClearDirCache), the translations.
//   sequence_paths.cpp the image-sequence name forms.
//   The directory scan (ScanDirectory, SetRangeFirst/Last, GetFileTypeFlags)
//   and the browsing answers live in their own files and build on these.
//
// Translations that can make a text longer take the capacity of the caller's
// buffer (terminator included) and cut their result to fit; they never write
// past it.
#ifndef KXR_FILES_FILE_ROOTS_H
#define KXR_FILES_FILE_ROOTS_H

#include <cstddef>
#include <cstdint>

#include "kxr/rvutil.h"

namespace kxr {

class CMyHttpClient;

// Work room of the locator translations: a result holds at most 523 characters.
inline constexpr size_t kMapWorkSize = 524;
// Work room of ReplaceText: longer texts are cut to 259 characters.
inline constexpr size_t kReplaceWorkSize = 260;
// In a MediaCmd text area the file name follows the 9-byte clip-name field.
inline constexpr size_t kInnerTextOffset = 9;
// Room for a configured directory value, terminator included.
inline constexpr size_t kRootValueSize = 261;
// Room of a configured root's name and path texts.
inline constexpr size_t kRootTextSize = kRootValueSize + 23;
// Owned texts of entries get this much room beyond their length.
inline constexpr size_t kEntryTextSlack = 23;

// One root of the table. Same layout as DirEntry.
struct FileRoot {
    char* name;     // virtual name, always begins with "\\"
    char* path;     // local directory; configured roots end in the separator
    char* reserved; // always null for a root
    uint32_t made;  // 1 once the record is made
};

// One entry of a scanned directory. Texts are owned (NewEntryText); an
// empty singlePath is null.
struct DirEntry {
    char* locator;    // directory locator + file name and extension
    char* path;       // local path (for a sequence: range form of its first file)
    char* singlePath; // a frame file's own path before it became a range, or null
    uint32_t made;    // 1 once the record is made
    uint32_t lastFrame;
    uint32_t firstFrame;
};

// The one directory cache slot. Items of entries are DirEntry*.
struct DirCache {
    RVList entries;
    char* locator;      // scanned directory's locator, ending in "\\"; null when empty
    char* realPath;     // scanned directory's local path; null when empty
    RVListNode* cursor; // node of the entry the last paging answer returned, or null
    uint32_t lastUseMs; // clock reading of the last scan or use
};

// ---- the table ----

// Reads the roots from the configuration store; a second call does nothing.
// Returns 1.
int32_t LoadFileRoots(CMyHttpClient* client);
// Clears the directory cache and releases the roots. Returns 1.
int32_t FreeFileRoots(CMyHttpClient* client);
// The roots in table order (items are FileRoot*), and the cache slot.
RVList* FileRootList();
DirCache* TheDirCache();

// ---- entries and the cache ----

// An owned copy of text with kEntryTextSlack bytes to spare (RVAlloc); null
// when text is null or no memory is left.
char* NewEntryText(const char* text);
// A zeroed record with made = 1 (RVAlloc); null when no memory is left.
DirEntry* NewDirEntry();
// Releases the record with its three texts.
void FreeDirEntry(DirEntry* entry);
// Releases every entry, clears cursor and lastUseMs, releases locator and
// realPath. Returns 1, or 0 without a cache.
int32_t ClearDirCache(CMyHttpClient* client, DirCache* cache);

// ---- request paths and locators ----

// Replaces each occurrence of pattern by the character, in place. Returns 0.
int32_t ReplaceText(char* text, const char* pattern, char character);
// "%5C" and "/" become "\\", "%20" a space. Returns 0.
int32_t NormalizeVirtualPath(CMyHttpClient* client, char* text);
// Locator to local path in place, a range form collapsed to its first frame.
// Also matches a locator 9 bytes in (a MediaCmd text area). Returns 1 when a
// root matched, else 0.
int32_t MapLocatorToPath(CMyHttpClient* client, char* text, size_t capacity);
// Local path to locator in place; unchanged when no root holds it. Returns 0.
int32_t MapPathToLocator(CMyHttpClient* client, char* text, size_t capacity);

// ---- image-sequence names (sequence_paths.cpp) ----

// 1 when path is an existing frame file of a one-picture-per-file type.
int32_t IsSequenceMember(CMyHttpClient* client, const char* path);
// A frame file's path into the range form name[F-F].ext; returns F.
uint32_t SequenceRangePath(CMyHttpClient* client, char* path, size_t capacity);
// A range form into its first (which 0) or last frame's path. Returns 1 when
// it rewrote the text, else 0.
int32_t SequenceFramePath(CMyHttpClient* client, char* text, int32_t which);
// A sequence member's path into the wildcard form name*.ext; other paths
// stay. Returns 0.
int32_t SequenceWildcardPath(CMyHttpClient* client, char* path, size_t capacity);

} // namespace kxr

#endif

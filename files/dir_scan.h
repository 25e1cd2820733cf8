// Directory scans into the directory cache: one entry per file or directory,
// sorted by locator, with the numbered frame files of an image sequence
// folded into one entry that carries the sequence's range form.
#ifndef KXR_FILES_DIR_SCAN_H
#define KXR_FILES_DIR_SCAN_H

#include <cstdint>
#include <string>

#include "files/file_roots.h"

namespace kxr {

class CMyHttpClient;

// Fills cache from the local directory realDir, whose locator is locatorDir
// (a "\\" is appended to a non-empty locatorDir that lacks one). Returns 1
// when the directory could be searched; otherwise 0, and the cache holds the
// directory's texts and no entries.
int32_t ScanDirectory(CMyHttpClient* client, DirCache* cache, const char* realDir,
                      std::string& locatorDir);

// Replace the first or the last number of the range form in path by digits,
// in place (capacity is the buffer's room, terminator included). Return 1.
int32_t SetRangeFirst(CMyHttpClient* client, char* path, size_t capacity, const char* digits);
int32_t SetRangeLast(CMyHttpClient* client, char* path, size_t capacity, const char* digits);

// The capability flags of the file's type, or 0xFFFFFFFF when the file is
// missing or of no known type.
uint32_t GetFileTypeFlags(CMyHttpClient* client, const char* path);

// What the last scan on this thread did: files found (directories and the
// parent entry not counted) and group keys compared while grouping frames.
struct ScanCounters {
    uint64_t files = 0;
    uint64_t keyComparisons = 0;
};
ScanCounters LastScanCounters();

} // namespace kxr

#endif

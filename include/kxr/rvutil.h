/* The utility library: threads, critical sections, the configuration store,
 * files and paths, directory search, memory, lists and the error log.
 * Windows conventions throughout, on every platform: "\\" and "/" both
 * separate path components, results are 32-bit, handles are opaque. */
#ifndef KXR_RVUTIL_H
#define KXR_RVUTIL_H

#include <stddef.h>
#include <stdint.h>

#include "kxr/rvutil_export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef void* RVHANDLE;
#define RV_INVALID_HANDLE ((RVHANDLE)(intptr_t)-1)

/* Path buffer sizes, terminator included (the platform's path-splitting sizes). */
#define RV_MAX_PATH 260
#define RV_MAX_DRIVE 3
#define RV_MAX_DIR 256
#define RV_MAX_FNAME 256
#define RV_MAX_EXT 256

/* ---- threads ---- */

#define RV_STILL_ACTIVE 259u

typedef uint32_t (*RVThreadRoutine)(void* argument);

/* security, stackSize and flags are accepted for the platform's sake; the
 * name labels the thread for debuggers. Returns 0 on failure. */
RVUTIL_EXPORT RVHANDLE rvOSCreateThread(void* security, uint32_t stackSize, RVThreadRoutine routine,
                                        void* argument, uint32_t flags, uint32_t* threadIdOut,
                                        const char* name);
/* Gives up the caller's claim on the thread, which keeps running. The handle
 * still answers rvOSGetExitCodeThread afterwards, also once the thread ended;
 * the codes of the 16384 most recently ended closed threads are kept, so a
 * thread-per-connection server does not grow without bound. */
RVUTIL_EXPORT int32_t rvOSCloseThread(RVHANDLE thread, const char* name);
/* Ends the calling thread (one made by rvOSCreateThread) with the code. On
 * POSIX the stack unwinds: destructors run, and a catch (...) on the way must
 * rethrow. */
RVUTIL_EXPORT void rvOSExitThread(uint32_t code);
/* Returns 1 and the code (RV_STILL_ACTIVE while the thread runs), or 0 for a
 * handle that never named a thread. */
RVUTIL_EXPORT int32_t rvOSGetExitCodeThread(RVHANDLE thread, uint32_t* codeOut, const char* name);
RVUTIL_EXPORT void rvOSSleep(uint32_t milliseconds);

/* ---- critical sections (recursive, like the platform's) ---- */

typedef struct RVCriticalSection {
    void* impl;
} RVCriticalSection;

RVUTIL_EXPORT void rvOSInitializeCriticalSection(RVCriticalSection* section);
RVUTIL_EXPORT void rvOSEnterCriticalSection(RVCriticalSection* section);
RVUTIL_EXPORT void rvOSLeaveCriticalSection(RVCriticalSection* section);
RVUTIL_EXPORT void rvOSDeleteCriticalSection(RVCriticalSection* section);

/* ---- configuration store ----
 * One TOML file chosen by the host. Key paths such as "KXR\\NetServer" name
 * nested tables ([KXR.NetServer]); empty path segments are ignored, so "" is
 * the file's top level. Integers from -2^31 to 2^32-1 are 32-bit values (type
 * 4; a negative one reads as its two's complement), strings text values (type
 * 1), a table inside a key is a sub-key (type 0). Any other value (float,
 * boolean, date, array, integer beyond 32 bits) is listed as type 3, refused
 * by the reads and kept unchanged by writes. Root -1 is the host's own root; no
 * other root exists and calls with another one fail. The store is thread-safe.
 *
 * Entries are listed in the order in which they stand in the file. Writes are
 * saved at once and atomically (a temporary file beside the file, renamed over
 * it). A write keeps the file's order: a new value goes after the last value
 * of its table, a new table at the end of its parent. Whole-line comments stay
 * above the entry that follows them; comments behind a value and the file's
 * own spacing and quoting are not kept. */

#define RV_CFG_ROOT (-1)
#define RV_CFG_TYPE_SUBKEY 0u
#define RV_CFG_TYPE_STRING 1u
#define RV_CFG_TYPE_OTHER 3u
#define RV_CFG_TYPE_DWORD 4u
#define RV_CFG_NO_ENTRY 0xFFFFFFFFu

/* Chooses the store's file and loads it, dropping what the store held. A
 * missing file is an empty store that the first write creates. A malformed or
 * unreadable file is reported with one error-log line (file:line:column and the
 * reason) and gives an empty store that refuses every write, so that the file
 * is never overwritten, until rvCFGOpen is called again. Until the first call,
 * and after a call with a null or empty path, the store lives in memory only:
 * writes succeed and are saved nowhere. Returns 0 when the file was read or is
 * absent, 1 when it was malformed or unreadable. */
RVUTIL_EXPORT int32_t rvCFGOpen(const char* filePath);
/* write 0: reads the value, returns 0; returns non-zero and leaves *valueInOut
 * as it was when the value is missing or not a 32-bit integer. write 1: stores
 * it (creating the key's tables; a value of another type is replaced), returns
 * 0 when saved, non-zero when the path crosses a value, the name is a sub-key,
 * the name is empty, or the file could not be saved (the store is then left
 * unchanged). Names must be UTF-8. */
RVUTIL_EXPORT int32_t rvCFGValueDword(int32_t root, const char* keyPath, const char* valueName,
                                      uint32_t* valueInOut, int32_t write);
/* Like rvCFGValueDword for text. *sizeInOut is the buffer's capacity in bytes
 * on entry; 0 (or a null size) stands for RV_MAX_PATH + 1 bytes. A read copies
 * at most capacity - 1 characters and a terminator, returns 0 also when it cut
 * the value, and stores the full length + 1 in *sizeInOut (so a value was cut
 * when that exceeds the capacity). A write stores the buffer's zero-terminated
 * text, which must be UTF-8, and leaves *sizeInOut alone. */
RVUTIL_EXPORT int32_t rvCFGValueString(int32_t root, const char* keyPath, const char* valueName,
                                       char* buffer, uint32_t* sizeInOut, int32_t write);
/* Enumerates the entries of a key in file order: given the previous entry's
 * name (empty or null for the first) writes the next one's name (RV_MAX_PATH
 * bytes, a longer name cut) and type, and returns 0; returns RV_CFG_NO_ENTRY
 * after the last, when the key has no entry of the previous name (also a cut
 * one), and when the key does not exist. */
RVUTIL_EXPORT uint32_t rvCFGGetNext(int32_t root, const char* keyPath, char* nameOut,
                                    const char* previousName, uint32_t* typeOut);
/* Non-zero when the full path names a sub-key (a table) rather than a value or
 * nothing. */
RVUTIL_EXPORT int32_t rvCFGHasSubKey(int32_t root, const char* path);

/* ---- files and paths ---- */

#define RV_FILE_ATTRIBUTE_READONLY 0x1u
#define RV_FILE_ATTRIBUTE_HIDDEN 0x2u
#define RV_FILE_ATTRIBUTE_DIRECTORY 0x10u
#define RV_FILE_ATTRIBUTE_ARCHIVE 0x20u
/* A search entry that is a link; its other fields describe the target. */
#define RV_FILE_ATTRIBUTE_REPARSE_POINT 0x400u

#define RV_GENERIC_READ 0x80000000u
#define RV_GENERIC_WRITE 0x40000000u
#define RV_OPEN_EXISTING 3u
#define RV_CREATE_ALWAYS 2u

/* One directory entry. Times count 100 ns since 1601-01-01 UTC. */
typedef struct RVFindData {
    uint32_t attributes;
    uint64_t creationTime;
    uint64_t lastAccessTime;
    uint64_t lastWriteTime;
    uint64_t size;
    char name[RV_MAX_PATH];
} RVFindData;

RVUTIL_EXPORT int32_t rvOSFileExists(const char* path);
RVUTIL_EXPORT int32_t rvOSFileIsDir(const char* path);
/* The pattern's last component may hold "*" and "?" wildcards ("*.*" matches
 * every name). Returns RV_INVALID_HANDLE when nothing can be listed. */
RVUTIL_EXPORT RVHANDLE rvOSFindFirstFile(const char* pattern, RVFindData* findData);
RVUTIL_EXPORT int32_t rvOSFindNextFile(RVHANDLE search, RVFindData* findData);
RVUTIL_EXPORT int32_t rvOSFindClose(RVHANDLE search);

/* Returns RV_INVALID_HANDLE on failure. */
RVUTIL_EXPORT RVHANDLE rvOSCreateFile(const char* path, uint32_t access, uint32_t share,
                                      void* security, uint32_t disposition, uint32_t attributes,
                                      RVHANDLE templateFile);
RVUTIL_EXPORT int32_t rvOSReadFile(RVHANDLE file, void* buffer, uint32_t count,
                                   uint32_t* countReadOut, void* overlapped);
RVUTIL_EXPORT uint32_t rvOSGetFileSize(RVHANDLE file, uint32_t* highOut);
RVUTIL_EXPORT int32_t rvOSGetFileSizeEx(RVHANDLE file, int64_t* sizeOut);
RVUTIL_EXPORT int32_t rvOSCloseFile(RVHANDLE file);
/* Non-zero on success; failIfExists 0 replaces an existing target. */
RVUTIL_EXPORT int32_t rvOSCopyFile(const char* source, const char* target, int32_t failIfExists);
/* 0 on success, -1 on failure (as the C library's mkdir). */
RVUTIL_EXPORT int32_t rvOSMakeDir(const char* path, uint32_t mode);
RVUTIL_EXPORT int32_t rvOSChangeDir(const char* path);

/* Splits like the platform's path splitter: drive ("C:", RV_MAX_DRIVE bytes),
 * directory with its trailing separator (RV_MAX_DIR), name (RV_MAX_FNAME),
 * extension with its dot (RV_MAX_EXT). Any output may be 0. */
RVUTIL_EXPORT void rvOSSplitPath(const char* path, char* drive, char* dir, char* name, char* ext);
/* Joins the parts into path (RV_MAX_PATH bytes), adding a separator after a
 * directory that lacks one and a dot before an extension that lacks one. */
RVUTIL_EXPORT void rvOSMakePath(char* path, const char* drive, const char* dir, const char* name,
                                const char* ext);
/* Takes the path's last component without its extension, writes it without
 * its trailing run of decimal digits into baseOut (RV_MAX_FNAME bytes), stores
 * the run's length and returns its value (0 when there is none). A name made
 * only of digits has an empty base. */
RVUTIL_EXPORT uint32_t GetBaseName(const char* path, char* baseOut, uint32_t* digitCountOut);

/* ---- memory ---- */

RVUTIL_EXPORT void* RVAlloc(size_t size);
RVUTIL_EXPORT void RVFree(void* block);
RVUTIL_EXPORT void rvOSZeroMemory(void* block, size_t size);
RVUTIL_EXPORT void ZeroMemoryFast(void* block, size_t size);
RVUTIL_EXPORT void rvOSCopyMemory(void* target, const void* source, size_t size);
RVUTIL_EXPORT void CopyMemoryFast(void* target, const void* source, size_t size);

/* ---- linked lists of opaque items ---- */

typedef struct RVListNode {
    struct RVListNode* next;
    struct RVListNode* prev;
    void* item;
} RVListNode;

typedef struct RVList {
    RVListNode* head;
    RVListNode* tail;
    uint32_t count;
} RVList;

RVUTIL_EXPORT void rv_ListInit(RVList* list);
/* Releases the nodes (not the items) and leaves the list empty. */
RVUTIL_EXPORT void rv_ListClose(RVList* list);
/* The adders return 1 on success, 0 when no node could be allocated. */
RVUTIL_EXPORT int32_t rv_ListAddHead(RVList* list, void* item);
RVUTIL_EXPORT int32_t rv_ListAddTail(RVList* list, void* item);
/* Inserts before position; a null position appends. */
RVUTIL_EXPORT int32_t rv_ListInsertAt(RVList* list, RVListNode* position, void* item);
/* Removes the last node and returns its item (0 when empty). */
RVUTIL_EXPORT void* rv_ListRemoveTail(RVList* list);
RVUTIL_EXPORT RVListNode* rv_ListHead(RVList* list);
RVUTIL_EXPORT RVListNode* rv_ListNext(RVListNode* node);
RVUTIL_EXPORT uint32_t rv_ListCount(RVList* list);

/* ---- the host's error log ---- */

#define RV_ERR_WARNING 0x80000000u

/* Receives each finished line; level 0 for ErrOut lines. */
typedef void (*RVErrSink)(uint32_t level, const char* line);

/* Writes one formatted error line (a newline is added when missing). */
RVUTIL_EXPORT void ErrOut(const char* format, ...);
RVUTIL_EXPORT void ErrFmtOut(uint32_t level, uint32_t reserved1, uint32_t reserved2,
                             const char* format, ...);
/* Sends the error log to the sink instead of standard error; 0 restores it. */
RVUTIL_EXPORT void rvSetErrSink(RVErrSink sink);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif

/* The web-server module's entry points, for hosts. A host loads the module
 * at run time and looks these up by name; Windows builds also have DllMain.
 * Results are 32-bit: 0 for success, -1 (all bits set) for failure. */
#ifndef KXR_HTTPD2_H
#define KXR_HTTPD2_H

#include <stdint.h>

#include "kxr/mediacmd.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One accepted connection, as the module's server hands it to the router. */
struct ConnectionRecord;

/* The host's HTTP callback: the whole request text (request line, header
 * lines, a POST body) and where to store the answer. Returns the answer's
 * length in bytes, the answer being an RVAlloc block that the module sends
 * and releases with RVFree; 0 for no answer; -1 when the callback does not
 * handle the request. */
typedef int32_t (*KxrHttpCallback)(const char* requestText, char** answerOut);
/* Carries out a media command on a channel and writes the reply into the
 * record; the result is not read. */
typedef int32_t (*KxrMediaCmdHandler)(int32_t channel, MediaCmd* record);

#define KXR_QUIT_TIMED_OUT 0xFFFFFFFFu

int32_t kxrInit(void* reserved);
int64_t kxrOpen(uint32_t reserved);
int32_t kxrClose(void* reserved);
int32_t kxrCmd(void* reserved1, void* reserved2);
int32_t kxrConfigure(uint32_t reserved1, void* reserved2);
int32_t kxrStart(void);
/* 0, or KXR_QUIT_TIMED_OUT when the server thread did not end in time. */
uint32_t kxrQuit(void);
/* A null handler puts the engine's own media command back. */
int32_t httpdSetMediaCmd(uint32_t reserved, KxrMediaCmdHandler handler);
/* A null callback removes the host's callback. */
int32_t kxrHttpdCallback(KxrHttpCallback callback);
/* Rewrites a request path in place into a local path; non-zero when it named
 * an existing file below one of the module's file roots. */
int32_t kxrCheckVirtual(char* path);
int32_t kxrHttpdRequest(struct ConnectionRecord* connection);
/* Runs the module's own request interface on a request text; returns the
 * answer's length and stores the answer (an RVAlloc block the caller
 * releases with RVFree). */
int32_t kxrHttpdHandleRequest(const char* requestText, char** answerOut);

/* The same entry points as pointer types, for hosts that look them up. */
typedef int32_t (*KxrInitFn)(void*);
typedef int64_t (*KxrOpenFn)(uint32_t);
typedef int32_t (*KxrCloseFn)(void*);
typedef int32_t (*KxrCmdFn)(void*, void*);
typedef int32_t (*KxrConfigureFn)(uint32_t, void*);
typedef int32_t (*KxrStartFn)(void);
typedef uint32_t (*KxrQuitFn)(void);
typedef int32_t (*KxrSetMediaCmdFn)(uint32_t, KxrMediaCmdHandler);
typedef int32_t (*KxrHttpdCallbackFn)(KxrHttpCallback);
typedef int32_t (*KxrCheckVirtualFn)(char*);
typedef int32_t (*KxrHttpdRequestFn)(struct ConnectionRecord*);
typedef int32_t (*KxrHttpdHandleRequestFn)(const char*, char**);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif

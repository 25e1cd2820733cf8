// The module's life: kxrInit, kxrStart, kxrQuit and the exports with fixed
// results.
#ifndef KXR_MODULE_LIFECYCLE_H
#define KXR_MODULE_LIFECYCLE_H

#include <cstddef>
#include <cstdint>

#include "binding/callback_slots.h"
#include "kxr/rvutil.h"

namespace kxr {

inline constexpr uint32_t kQuitTimedOut = 0xFFFFFFFFu;
inline constexpr uint32_t kDefaultHttpPort = 80;
inline constexpr size_t kRootCandidateSize = 260;
inline constexpr const char* kNetServerKey = "KXR\\NetServer";
inline constexpr const char* kHttpDirsKey = "KXR\\NetServer\\HttpDirs";
inline constexpr const char* kDefaultRoot = "C:\\share\\inetpub\\";
inline constexpr const char* kFallbackRoot = "C:\\UwAmp\\www\\";

int32_t kxrInit(void* reserved);
int64_t kxrOpen(uint32_t reserved);
int32_t kxrClose(void* reserved);
int32_t kxrCmd(void* reserved1, void* reserved2);
int32_t kxrConfigure(uint32_t reserved1, void* reserved2);
int32_t kxrStart();
uint32_t kxrQuit();
int32_t httpdSetMediaCmd(uint32_t reserved, MediaCmdHandlerFn handler);
int32_t kxrHttpdCallback(HttpCallbackFn callback);

// The start-up's configuration reads. The port: "HTTPPort", else 80, which
// is then stored. The root: "HTTPPath", else "Path" of the HttpDirs key,
// else the first of the two built-in roots that exists.
uint32_t ReadConfiguredPort();
// "Confine": whether client-named files stay within the roots; on unless the
// value is 0. It is not written back.
bool ReadConfinement();
void ReadRootCandidate(char (&candidate)[kRootCandidateSize]);
// "MaxEventStreams": how many event streams of the JSON face may be open at
// once; 64 when it is missing, 0 turns the stream off.
size_t ReadConfiguredStreamCap();

// A warning to the host's error log.
void Warn(const char* text);

// The listener thread while one is held (0 otherwise), for tests.
RVHANDLE ListenerThreadHandle();

} // namespace kxr

#endif

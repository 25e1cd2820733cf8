// Child processes and the location of loaded code. The host and the test
// harness use these; the module asks where its own image lives.
#ifndef KXR_PLATFORM_PROCESS_H
#define KXR_PLATFORM_PROCESS_H

#include <cstdint>
#include <string>
#include <vector>

namespace kxr::platform {

using ProcessId = int64_t;
inline constexpr ProcessId kNoProcess = -1;

// Starts argv[0] with the arguments argv[1...]. Its standard output and
// error are appended to outputPath when one is given (created if missing),
// else inherited. kNoProcess when it could not be started.
ProcessId ProcessSpawn(const std::vector<std::string>& argv, const char* outputPath);
// Asks the process to end in its own orderly way (SIGTERM on POSIX).
bool ProcessRequestStop(ProcessId process);
// Ends the process at once.
bool ProcessKill(ProcessId process);
// Waits at most timeoutMs for the process to end and collects it. True with
// its exit code (128 + the signal number when a signal ended it) when it has
// ended; false while it still runs.
bool ProcessWait(ProcessId process, uint32_t timeoutMs, int* exitCodeOut);
// The calling process's id.
ProcessId ProcessCurrentId();

// The directory (without a trailing separator) of the executable or shared
// library whose code or data holds address; empty when unknown.
std::string LoadedImageDirectory(const void* address);

} // namespace kxr::platform

#endif

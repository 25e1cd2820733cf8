// Raw threads. Exit codes and handles that outlive their thread are the
// utility library's business; this layer only starts and ends threads.
#ifndef KXR_PLATFORM_THREAD_H
#define KXR_PLATFORM_THREAD_H

#include <cstddef>
#include <cstdint>

namespace kxr::platform {

using ThreadRoutine = void (*)(void* argument);

// Starts a detached thread; stackSize 0 takes the default. The name labels
// the thread for debuggers (cut to what the system keeps). False when no
// thread could be started.
bool ThreadSpawnDetached(ThreadRoutine routine, void* argument, size_t stackSize, const char* name);

// Ends the calling thread at once. On POSIX the stack is unwound, so a
// catch-all handler on the way must rethrow.
[[noreturn]] void ThreadExitCurrent();

} // namespace kxr::platform

#endif

// The stop request of a console program: SIGINT or SIGTERM on POSIX,
// Ctrl-C or Ctrl-Break on Windows.
#ifndef KXR_PLATFORM_SIGNAL_H
#define KXR_PLATFORM_SIGNAL_H

namespace kxr::platform {

// Keeps stop requests from interrupting any thread, so that StopRequestWait
// alone receives them. Call first thing in main, before any thread starts:
// threads started later inherit the setting. False on failure.
bool StopRequestCapture();
// Waits until a stop request arrives and returns its signal number.
int StopRequestWait();

// Keeps a write to a closed connection from ending the process: the calling
// thread no longer receives SIGPIPE, so calls that cannot ask for that
// themselves (sendfile) just fail. Nothing to do on Windows.
void BlockBrokenPipeSignal();

} // namespace kxr::platform

#endif

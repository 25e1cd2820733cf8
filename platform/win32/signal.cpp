#include "platform/kxr_signal.h"

#include "platform/win32/win32.h"

#include <atomic>
#include <csignal>
#include <mutex>

namespace kxr::platform {

namespace {

// Auto-reset; set by the console handler and, through its name, by a
// process that asks this one to stop.
HANDLE stopEvent = nullptr;
std::once_flag eventOnce;
// The signal number of the last console event; 0 when the request came
// through the event alone.
std::atomic<int> pendingSignal{0};

bool OpenStopEvent() {
    std::call_once(eventOnce, [] {
        stopEvent = CreateEventA(nullptr, FALSE, FALSE,
                                 win32::StopEventName(GetCurrentProcessId()).c_str());
    });
    return stopEvent != nullptr;
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
    int signal = SIGTERM;
    if (event == CTRL_C_EVENT)
        signal = SIGINT;
    else if (event == CTRL_BREAK_EVENT)
        signal = SIGBREAK;
    pendingSignal = signal;
    SetEvent(stopEvent);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        // The system ends the process as soon as this returns: wait here so
        // that the main thread can stop in order, until it leaves or the
        // system's own time limit runs out.
        Sleep(INFINITE);
    }
    return TRUE;
}

} // namespace

bool StopRequestCapture() {
    if (!OpenStopEvent())
        return false;
    // A process started in a group of its own begins with Ctrl-C ignored.
    SetConsoleCtrlHandler(nullptr, FALSE);
    return SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
}

int StopRequestWait() {
    if (!OpenStopEvent())
        return 0;
    if (WaitForSingleObject(stopEvent, INFINITE) != WAIT_OBJECT_0)
        return 0;
    const int signal = pendingSignal.exchange(0);
    // Another process's request arrives as the polite end request.
    return signal != 0 ? signal : SIGTERM;
}

void BlockBrokenPipeSignal() {}

} // namespace kxr::platform

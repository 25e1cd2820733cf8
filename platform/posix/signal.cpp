#include "platform/kxr_signal.h"

#include <pthread.h>
#include <signal.h>

namespace kxr::platform {

namespace {
sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}
} // namespace

bool StopRequestCapture() {
    const sigset_t set = StopSignals();
    return pthread_sigmask(SIG_BLOCK, &set, nullptr) == 0;
}

void BlockBrokenPipeSignal() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

int StopRequestWait() {
    const sigset_t set = StopSignals();
    int signal = 0;
    while (sigwait(&set, &signal) != 0) {
    }
    return signal;
}

} // namespace kxr::platform

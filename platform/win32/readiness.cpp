#include "platform/kxr_readiness.h"

namespace kxr::platform {

// No set here: each connection waits in its own thread.
ReadinessSet ReadinessSetOpen() {
    return kNoReadinessSet;
}

void ReadinessSetClose(ReadinessSet) {}

bool ReadinessSetAdd(ReadinessSet, SocketHandle) {
    return false;
}

int ReadinessSetWait(ReadinessSet, SocketHandle*, size_t, uint32_t) {
    return -1;
}

} // namespace kxr::platform

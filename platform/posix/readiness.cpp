#include "platform/kxr_readiness.h"

#include <cerrno>
#include <sys/epoll.h>
#include <unistd.h>

namespace kxr::platform {

namespace {

int Fd(intptr_t handle) {
    return static_cast<int>(handle);
}

} // namespace

ReadinessSet ReadinessSetOpen() {
    const int fd = epoll_create1(EPOLL_CLOEXEC);
    return fd < 0 ? kNoReadinessSet : static_cast<ReadinessSet>(fd);
}

void ReadinessSetClose(ReadinessSet set) {
    if (set != kNoReadinessSet)
        close(Fd(set));
}

bool ReadinessSetAdd(ReadinessSet set, SocketHandle socket) {
    if (set == kNoReadinessSet || socket == kInvalidSocket)
        return false;
    epoll_event event{};
    event.events = EPOLLIN | EPOLLRDHUP;
    event.data.fd = Fd(socket);
    return epoll_ctl(Fd(set), EPOLL_CTL_ADD, Fd(socket), &event) == 0;
}

int ReadinessSetWait(ReadinessSet set, SocketHandle* ready, size_t capacity, uint32_t timeoutMs) {
    if (set == kNoReadinessSet || ready == nullptr || capacity == 0)
        return -1;
    constexpr size_t kMaxEvents = 64;
    epoll_event events[kMaxEvents];
    const int wanted = static_cast<int>(capacity < kMaxEvents ? capacity : kMaxEvents);
    int n;
    do {
        n = epoll_wait(Fd(set), events, wanted,
                       static_cast<int>(timeoutMs > 0x7FFFFFFFu ? 0x7FFFFFFFu : timeoutMs));
    } while (n < 0 && errno == EINTR);
    for (int i = 0; i < n; ++i)
        ready[i] = static_cast<SocketHandle>(events[i].data.fd);
    return n;
}

} // namespace kxr::platform

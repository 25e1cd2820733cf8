#include "platform/kxr_sendfile.h"

#include <errno.h>
#include <sys/sendfile.h>

namespace kxr::platform {

int64_t SocketSendFile(SocketHandle socket, FileHandle file, size_t count) {
    for (;;) {
        const ssize_t sent =
            sendfile(static_cast<int>(socket), static_cast<int>(file), nullptr, count);
        if (sent >= 0)
            return sent;
        if (errno == EINTR)
            continue;
        // Not a file the kernel can map (a pipe, some file systems).
        if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)
            return kSendFileRefused;
        return -1;
    }
}

} // namespace kxr::platform

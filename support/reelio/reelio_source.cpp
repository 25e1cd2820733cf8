#include "reelio_source.h"

namespace reelio {

namespace plat = kxr::platform;

SourceFile::SourceFile(const char* path)
    : handle_(plat::FileOpen(path, plat::kFileRead, plat::FileDisposition::OpenExisting)) {
    if (IsOpen() && !plat::FileSize(handle_, &size_)) {
        size_ = 0;
    }
}

SourceFile::~SourceFile() {
    if (IsOpen()) {
        plat::FileClose(handle_);
    }
}

std::size_t SourceFile::ReadAt(uint64_t offset, uint8_t* buffer, std::size_t size) {
    if (!IsOpen() ||
        plat::FileSeek(handle_, static_cast<int64_t>(offset), plat::SeekOrigin::Begin) < 0) {
        return 0;
    }
    std::size_t done = 0;
    while (done < size) {
        const int64_t n = plat::FileRead(handle_, buffer + done, size - done);
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

} // namespace reelio

// The file a type guess or an open reads. Only regular files open, and
// opening never waits: a directory scan may probe whatever a folder holds,
// FIFOs, sockets and devices included, and none of them is read.
#ifndef KXR_REELIO_SOURCE_H
#define KXR_REELIO_SOURCE_H

#include "platform/kxr_file.h"

#include <cstddef>
#include <cstdint>

namespace reelio {

class SourceFile {
public:
    explicit SourceFile(const char* path);
    ~SourceFile();
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    bool IsOpen() const { return handle_ != kxr::platform::kInvalidFile; }
    uint64_t Size() const { return size_; }
    // Up to size bytes from offset; fewer at the end of the file or on error.
    std::size_t ReadAt(uint64_t offset, uint8_t* buffer, std::size_t size);
    kxr::platform::FileHandle Handle() const { return handle_; }

private:
    kxr::platform::FileHandle handle_;
    uint64_t size_ = 0;
};

} // namespace reelio

#endif

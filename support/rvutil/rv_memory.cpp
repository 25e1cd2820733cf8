#include "kxr/rvutil.h"

#include <cstdlib>
#include <cstring>

extern "C" {

void* RVAlloc(size_t size) {
    // A zero-byte request still gets a block of its own, since 0 means failure.
    return std::malloc(size != 0 ? size : 1);
}

void RVFree(void* block) {
    std::free(block);
}

void rvOSZeroMemory(void* block, size_t size) {
    if (block != nullptr && size != 0)
        std::memset(block, 0, size);
}

void ZeroMemoryFast(void* block, size_t size) {
    rvOSZeroMemory(block, size);
}

void rvOSCopyMemory(void* target, const void* source, size_t size) {
    // Overlapping blocks are copied as if through a temporary, as callers
    // shifting text in place rely on.
    if (target != nullptr && source != nullptr && size != 0)
        std::memmove(target, source, size);
}

void CopyMemoryFast(void* target, const void* source, size_t size) {
    rvOSCopyMemory(target, source, size);
}

} // extern "C"

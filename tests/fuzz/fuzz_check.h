// Shared by the fuzz targets: the entry libFuzzer calls, which hands each
// input to the target's Fuzz; an invariant that must hold, input bytes as
// zero-terminated text, and the checks on guard bytes and terminated buffers.
// Each target is a program of its own, so these live in the global namespace.
#ifndef KXR_TESTS_FUZZ_CHECK_H
#define KXR_TESTS_FUZZ_CHECK_H

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

void Fuzz(const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fuzz(data, size);
    return 0;
}

// A broken invariant ends the run with the input that broke it.
inline void Require(bool holds) {
    if (!holds)
        std::abort();
}

inline std::string Text(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// Every byte of the guard still holds its fill value.
inline void RequireGuard(const void* guard, size_t count, uint8_t fill) {
    for (size_t i = 0; i < count; ++i)
        Require(static_cast<const uint8_t*>(guard)[i] == fill);
}

// The text ends inside its buffer.
inline void RequireTerminated(const char* buffer, size_t capacity) {
    Require(std::memchr(buffer, '\0', capacity) != nullptr);
}

#endif

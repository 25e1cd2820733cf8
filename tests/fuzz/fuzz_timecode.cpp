// Timecode texts arrive from query strings and page controls. The first four
// bytes choose the type and flags, the next four a frame count to write; the
// rest is the text.
#include "kxr/tempex.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

uint32_t Word(const uint8_t* data) {
    return static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
           static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
}

// Writes into a larger buffer and checks nothing lands past the 16 bytes.
std::string WriteChecked(int32_t frames, uint32_t typeAndFlags) {
    char out[2 * TEMPEX_TEXT_SIZE];
    std::memset(out, 0x5A, sizeof out);
    const int32_t len = TcFramesToText(frames, typeAndFlags, out);
    const void* end = std::memchr(out, '\0', TEMPEX_TEXT_SIZE);
    if (end == nullptr || static_cast<const char*>(end) - out != len) {
        std::abort();
    }
    for (std::size_t i = TEMPEX_TEXT_SIZE; i < sizeof out; ++i) {
        if (out[i] != 0x5A) {
            std::abort();
        }
    }
    return std::string(out, static_cast<std::size_t>(len));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    uint32_t typeAndFlags = 0;
    int32_t frames = 0;
    if (size >= 4) {
        typeAndFlags = Word(data);
        data += 4;
        size -= 4;
    }
    if (size >= 4) {
        frames = static_cast<int32_t>(Word(data));
        data += 4;
        size -= 4;
    }
    const std::string text(reinterpret_cast<const char*>(data), size);

    int32_t read = 12345;
    if (TcTextToFrames(text.c_str(), typeAndFlags, &read) == 0 && read != 0) {
        std::abort();
    }
    uint32_t value = 12345;
    if (TcHexToValue(text.c_str(), typeAndFlags, &value) == 0 && value != 0) {
        std::abort();
    }
    WriteChecked(frames, typeAndFlags);

    // Any count that was read comes back unchanged through a signed write.
    const uint32_t type = typeAndFlags & TEMPEX_TYPE_MASK;
    const uint32_t both = type | TEMPEX_FLAG_LENIENT | TEMPEX_FLAG_SIGNED | TEMPEX_FLAG_DROP_MARK;
    for (int32_t n : {read, frames}) {
        const std::string again = WriteChecked(n, both);
        int32_t back = 0;
        if (TcTextToFrames(again.c_str(), both, &back) != 1 || back != n) {
            std::abort();
        }
    }
    return 0;
}

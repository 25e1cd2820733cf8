// Timecode texts arrive from query strings and page controls. The first four
// bytes choose the type and flags, the next four a frame count to write; the
// rest is the text.
#include "fuzz_check.h"
#include "kxr/tempex.h"

using kxrfuzz::Require;

namespace {

// The next four bytes, little-endian; 0 when fewer are left.
uint32_t TakeWord(const uint8_t*& data, size_t& size) {
    if (size < 4)
        return 0;
    const uint32_t word = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                          static_cast<uint32_t>(data[2]) << 16 |
                          static_cast<uint32_t>(data[3]) << 24;
    data += 4;
    size -= 4;
    return word;
}

// Writes into a larger buffer and checks nothing lands past the 16 bytes.
std::string WriteChecked(int32_t frames, uint32_t typeAndFlags) {
    char out[2 * TEMPEX_TEXT_SIZE];
    std::memset(out, 0x5A, sizeof out);
    const int32_t len = TcFramesToText(frames, typeAndFlags, out);
    const void* end = std::memchr(out, '\0', TEMPEX_TEXT_SIZE);
    Require(end != nullptr && static_cast<const char*>(end) - out == len);
    kxrfuzz::RequireGuard(out + TEMPEX_TEXT_SIZE, TEMPEX_TEXT_SIZE, 0x5A);
    return std::string(out, static_cast<size_t>(len));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint32_t typeAndFlags = TakeWord(data, size);
    const int32_t frames = static_cast<int32_t>(TakeWord(data, size));
    const std::string text = kxrfuzz::Text(data, size);

    int32_t read = 12345;
    Require(TcTextToFrames(text.c_str(), typeAndFlags, &read) != 0 || read == 0);
    uint32_t value = 12345;
    Require(TcHexToValue(text.c_str(), typeAndFlags, &value) != 0 || value == 0);
    WriteChecked(frames, typeAndFlags);

    // Any count that was read comes back unchanged through a signed write.
    const uint32_t both = (typeAndFlags & TEMPEX_TYPE_MASK) | TEMPEX_FLAG_LENIENT |
                          TEMPEX_FLAG_SIGNED | TEMPEX_FLAG_DROP_MARK;
    for (int32_t n : {read, frames}) {
        int32_t back = 0;
        Require(TcTextToFrames(WriteChecked(n, both).c_str(), both, &back) == 1 && back == n);
    }
    return 0;
}

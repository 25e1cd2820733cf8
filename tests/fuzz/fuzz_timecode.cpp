// Timecode texts arrive from query strings and page controls. The first four
// bytes choose the type and flags, the next four a frame count to write; the
// rest is the text.
#include "fuzz_check.h"
#include "kxr/tempex.h"

// The next four bytes, little-endian; 0 when fewer are left.
static uint32_t TakeWord(const uint8_t*& data, size_t& size) {
    if (size < 4)
        return 0;
    size -= 4;
    uint32_t word = 0;
    for (int i = 0; i < 4; ++i)
        word |= static_cast<uint32_t>(*data++) << (8 * i);
    return word;
}

// Writes into a larger buffer and checks nothing lands past the 16 bytes.
static std::string WriteChecked(int32_t frames, uint32_t typeAndFlags) {
    char out[2 * TEMPEX_TEXT_SIZE];
    std::memset(out, 0x5A, sizeof out);
    const int32_t len = TcFramesToText(frames, typeAndFlags, out);
    const void* end = std::memchr(out, '\0', TEMPEX_TEXT_SIZE);
    Require(end != nullptr && static_cast<const char*>(end) - out == len);
    RequireGuard(out + TEMPEX_TEXT_SIZE, TEMPEX_TEXT_SIZE, 0x5A);
    return std::string(out, static_cast<size_t>(len));
}

void Fuzz(const uint8_t* data, size_t size) {
    const uint32_t typeAndFlags = TakeWord(data, size);
    const int32_t frames = static_cast<int32_t>(TakeWord(data, size));
    const std::string text = Text(data, size);

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
}

// Byte-level builders for the DPX and WAVE headers the tests feed Reelio.
#ifndef KXR_TEST_REELIO_TEST_BYTES_H
#define KXR_TEST_REELIO_TEST_BYTES_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace reelio_test {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, std::size_t at, uint16_t v, bool bigEndian) {
    b[at] = static_cast<uint8_t>(bigEndian ? v >> 8 : v);
    b[at + 1] = static_cast<uint8_t>(bigEndian ? v : v >> 8);
}

inline void Put32(Bytes& b, std::size_t at, uint32_t v, bool bigEndian) {
    for (std::size_t i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (bigEndian ? 24 - 8 * i : 8 * i));
}

inline void PutFloat(Bytes& b, std::size_t at, float v, bool bigEndian) {
    uint32_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    Put32(b, at, bits, bigEndian);
}

// A 2048-byte DPX header, every optional field undefined (0xFF bytes), with
// the industry headers present.
inline Bytes DpxHeader(bool bigEndian, uint32_t width, uint32_t height, uint8_t descriptor,
                       uint8_t bitSize, uint16_t packing) {
    Bytes b(2048, 0xFF);
    std::memcpy(b.data(), bigEndian ? "SDPX" : "XPDS", 4);
    Put32(b, 4, 2048, bigEndian);  // image offset
    Put32(b, 24, 1664, bigEndian); // generic header size
    Put32(b, 28, 384, bigEndian);  // industry header size
    Put16(b, 768, 0, bigEndian);   // orientation: top to bottom
    Put16(b, 770, 1, bigEndian);   // elements
    Put32(b, 772, width, bigEndian);
    Put32(b, 776, height, bigEndian);
    b[800] = descriptor;
    b[803] = bitSize;
    Put16(b, 804, packing, bigEndian);
    Put32(b, 808, 2048, bigEndian);
    return b;
}

inline void AppendChunk(Bytes& b, const char* id, const Bytes& body, uint32_t claimed) {
    b.insert(b.end(), id, id + 4);
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(claimed >> (8 * i)));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() % 2 != 0)
        b.push_back(0);
}

inline Bytes FmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    Bytes f(16, 0);
    const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    Put16(f, 0, tag, false);
    Put16(f, 2, channels, false);
    Put32(f, 4, rate, false);
    Put32(f, 8, rate * align, false);
    Put16(f, 12, align, false);
    Put16(f, 14, bits, false);
    return f;
}

// "RIFF" + size + "WAVE"; the RIFF size is not checked by readers.
inline Bytes WaveStart(const char* magic = "RIFF") {
    Bytes b(12, 0);
    std::memcpy(b.data(), magic, 4);
    std::memcpy(b.data() + 8, "WAVE", 4);
    return b;
}

} // namespace reelio_test

#endif

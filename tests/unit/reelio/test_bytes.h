// Byte-level builders for the DPX, WAVE and OpenEXR files the tests feed
// Reelio.
#ifndef KXR_TEST_REELIO_TEST_BYTES_H
#define KXR_TEST_REELIO_TEST_BYTES_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
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
inline Bytes WaveStart() {
    Bytes b(12, 0);
    std::memcpy(b.data(), "RIFF", 4);
    std::memcpy(b.data() + 8, "WAVE", 4);
    return b;
}

// An uncompressed scan-line OpenEXR picture with half-float B, G and R
// channels, every sample 0.5 (the ffmpeg tool writes no OpenEXR).
inline Bytes ExrImage(uint32_t width, uint32_t height) {
    Bytes b = {0x76, 0x2F, 0x31, 0x01, 2, 0, 0, 0}; // magic, version 2
    auto append = [&b](uint64_t v, int size) {      // low byte first
        for (int i = 0; i < size; ++i)
            b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto attribute = [&](const std::string& name, const std::string& type, const Bytes& value) {
        b.insert(b.end(), name.c_str(), name.c_str() + name.size() + 1);
        b.insert(b.end(), type.c_str(), type.c_str() + type.size() + 1);
        append(value.size(), 4);
        b.insert(b.end(), value.begin(), value.end());
    };
    Bytes channels;
    for (const char* name : {"B", "G", "R"}) {
        Bytes one(18, 0); // name, its end, half floats (1), linear, reserved, sampling 1 x 1
        one[0] = static_cast<uint8_t>(name[0]);
        Put32(one, 2, 1, false);
        Put32(one, 10, 1, false);
        Put32(one, 14, 1, false);
        channels.insert(channels.end(), one.begin(), one.end());
    }
    channels.push_back(0);
    Bytes window(16, 0); // x and y from 0 to the size - 1
    Put32(window, 8, width - 1, false);
    Put32(window, 12, height - 1, false);
    Bytes one(4, 0), center(8, 0);
    PutFloat(one, 0, 1.0f, false);
    attribute("channels", "chlist", channels);
    attribute("compression", "compression", {0});
    attribute("dataWindow", "box2i", window);
    attribute("displayWindow", "box2i", window);
    attribute("lineOrder", "lineOrder", {0});
    attribute("pixelAspectRatio", "float", one);
    attribute("screenWindowCenter", "v2f", center);
    attribute("screenWindowWidth", "float", one);
    b.push_back(0); // end of the header
    // One line a block: the table of the blocks' offsets, then the blocks.
    const uint32_t lineBytes = width * 3 * 2;
    const std::size_t first = b.size() + 8 * std::size_t{height};
    for (uint32_t y = 0; y < height; ++y)
        append(first + std::size_t{y} * (8 + lineBytes), 8);
    for (uint32_t y = 0; y < height; ++y) {
        append(y, 4);
        append(lineBytes, 4);
        for (uint32_t i = 0; i < width * 3; ++i) {
            b.push_back(0x00); // 0.5 as a half float, low byte first
            b.push_back(0x38);
        }
    }
    return b;
}

} // namespace reelio_test

#endif

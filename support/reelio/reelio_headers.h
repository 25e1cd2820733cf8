// Readers of the headers we parse ourselves, working on bytes rather than
// files so the same code is unit-tested, fuzzed and shipped.
#ifndef KXR_REELIO_HEADERS_H
#define KXR_REELIO_HEADERS_H

#include "reelio_media.h"

#include <cstddef>
#include <cstdint>

namespace reelio {

// Bytes of a DPX file that hold every header field we read.
constexpr std::size_t kDpxHeaderBytes = 2048;

// Describes one DPX frame from its first bytes (big- or little-endian).
// False when the bytes are not a usable DPX header.
bool ReadDpxHeader(const uint8_t* data, std::size_t size, MediaDescription& out);

// A WAVE file is a list of chunks; the sound data may push later chunks far
// beyond the first bytes, so the file is read in windows that each begin at a
// chunk header.
class WavReader {
public:
    static constexpr std::size_t kWindowBytes = 64 * 1024;

    explicit WavReader(uint64_t fileSize) : fileSize_(fileSize) {}
    // Reads the window that begins at file offset `base`. Returns the offset
    // of the next window to read, or 0 when nothing further is needed.
    uint64_t Feed(const uint8_t* data, std::size_t size, uint64_t base);
    // False unless a usable format chunk was seen.
    bool Finish(MediaDescription& out) const;

private:
    void ReadFormat(const uint8_t* p, std::size_t n);
    void ReadInfoList(const uint8_t* p, std::size_t n);
    void ReadBroadcastExtension(const uint8_t* p, std::size_t n);

    uint64_t fileSize_;
    bool isWave_ = false;
    bool rf64_ = false;
    bool haveFormat_ = false;
    bool haveData_ = false;
    uint64_t ds64DataSize_ = 0;
    uint64_t dataSize_ = 0;
    SoundFormat format_;
    MediaDescription texts_; // only its texts are used
};

} // namespace reelio

#endif

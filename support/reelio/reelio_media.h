// What an opened media file is found to hold, before it is copied into the
// caller's fixed-layout records. Every field that is not known stays empty so
// the caller's presets survive.
#ifndef KXR_REELIO_MEDIA_H
#define KXR_REELIO_MEDIA_H

#include "kxr/reelio.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace reelio {

enum class StreamKind { kVideo, kAudio, kData };

struct PictureFormat {
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0; // four-character code, first character most significant
    uint32_t sizeImage = 0;
    uint32_t pitch = 0;
};

struct SoundFormat {
    uint16_t audioType = 0; // 1 = PCM, else a format tag
    uint16_t channels = 0;
    uint32_t frequency = 0;
    uint32_t bytesPerSecond = 0;
    uint16_t blockAlign = 0;
    uint16_t bits = 0;
};

struct StreamDescription {
    StreamKind kind = StreamKind::kData;
    std::optional<PictureFormat> picture;
    std::optional<SoundFormat> sound;
    // rate / scale units a second: frames for pictures, samples for sound.
    uint32_t rate = 0;
    uint32_t scale = 0; // 0: rate unknown
    uint32_t start = 0;
    std::optional<uint32_t> length; // in rate / scale units
    uint32_t sampleSize = 0;
};

struct MediaDescription {
    uint32_t fileType = RL_UNKNOWN;
    std::vector<StreamDescription> streams;
    std::array<std::string, kRLMetaTextSlots> texts; // slot k is texts[k - 1]
    std::array<std::optional<uint32_t>, kRLMetaNumbers> numbers;

    // Keeps the first text a slot receives; empty texts are not stored.
    void SetText(int slot, std::string text);
    void SetNumber(int index, uint32_t value) { numbers[index] = value; }
    const StreamDescription* FirstOf(StreamKind kind) const;
};

// A four-character code from its text, first character in the most
// significant byte; a short text is padded with blanks.
uint32_t FourCC(const char* text);

} // namespace reelio

#endif

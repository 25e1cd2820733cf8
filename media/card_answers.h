// The CardInfo answer: one video card's name, signal format, compression,
// bit depth, container, free storage and connectors, with the engine's
// numbers turned into names by fixed tables.
#ifndef KXR_MEDIA_CARD_ANSWERS_H
#define KXR_MEDIA_CARD_ANSWERS_H

#include <cstddef>
#include <cstdint>

namespace kxr {

class CMyHttpClient;
class CHttpRequest;

// Engine settings the answer asks for.
inline constexpr uint32_t kSettingSignalFormat = 900;
inline constexpr uint32_t kSettingCompression = 731;
inline constexpr uint32_t kSettingBitDepth = 722;
inline constexpr uint32_t kSettingContainer = 727;
inline constexpr uint32_t kSettingConnectorVariant = 744;

struct SignalFormat {
    uint32_t code;
    int32_t height;
    int32_t width;
    int32_t rate; // frames per second: rate / scale
    int32_t scale;
    const char* frameType;
    const char* name;
};

// Every known format; a code not listed gets DefaultSignalFormat().
inline constexpr size_t kSignalFormatCount = 152;
extern const SignalFormat kSignalFormats[kSignalFormatCount];
const SignalFormat& DefaultSignalFormat();
const SignalFormat& FindSignalFormat(uint32_t code);

// The name of a one-bit value, or null when the value has none (no bit, or
// several bits).
const char* CompressionName(uint32_t value);
const char* ContainerName(uint32_t value);
// Connector names; variant is the connector-variant setting (1 selects the
// second name where a connector has two). "Unknown" for other values.
const char* ConnectorName(uint32_t value, uint32_t variant, bool output);

// "CardInfo": the card is the number after "&channel=" in the path (0 without).
int32_t HandleCardInfoRequest(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                              CHttpRequest* request);

} // namespace kxr

#endif

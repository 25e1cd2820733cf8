// Pieces the generated pages share: the head lines, the names of engine codes
// and the arithmetic that turns engine readings into shown numbers.
#ifndef KXR_API_PAGES_COMMON_H
#define KXR_API_PAGES_COMMON_H

#include <cstdint>
#include <string>

namespace kxr {

// The lines every page's head carries right after its title line: no caching,
// and the style sheet of the document root.
extern const char kPageHeadLines[];

const char* AudioConnectionName(uint32_t code);
const char* VideoInputName(uint32_t code);
const char* VideoOutputName(uint32_t code);
const char* ChannelModeName(int32_t mode);
const char* TcTypeLongName(uint32_t type);

// The number of channels a mask stands for: the index of its highest set bit
// plus 1, looking at bits 31 down to lowestBit (0 for video, 1 for audio and
// info, so an audio mask of bit 0 alone counts none).
uint32_t ChannelCountFromMask(uint32_t mask, unsigned lowestBit);

// Speed as a percentage of normal forward play, truncated, in the engine's
// 32-bit arithmetic (the product wraps as it does there).
int32_t SpeedPercent(int32_t speed);
// A 16.16 audio level in percent, truncated; "no reading" shows 0.
uint32_t AudioLevelPercent(uint32_t level);
// A 16.16 video adjustment in percent, rounded.
uint32_t VideoValuePercent(uint32_t value);

// Appends number in decimal.
void AppendDecimal(std::string& text, int64_t number);

} // namespace kxr

#endif

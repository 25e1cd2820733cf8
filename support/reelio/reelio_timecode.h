// Frame rates and start timecodes as the records carry them: a rate as
// rate / scale, a timecode as a frame count with its timecode type code.
#ifndef KXR_REELIO_TIMECODE_H
#define KXR_REELIO_TIMECODE_H

#include <cstdint>
#include <string_view>

namespace reelio {

enum TimeCodeType : uint32_t {
    kTcTypeFilm = 1,
    kTcTypeNonDrop = 2,
    kTcTypeDropFrame = 4,
    kTcTypePal = 8,
    kTcType50 = 16,
    kTcType5994 = 32,
    kTcType60 = 64,
    kTcType2398 = 132
};

// A frame rate given as a number: the 1000/1001 rates become exact
// fractions, others n/1 or n*1000/1000. False for a rate that is not usable.
bool RateFromFloat(double fps, uint32_t* rate, uint32_t* scale);

// The timecode type of a frame rate, 0 when no type fits it. `drop` selects
// the drop-frame counting of 29.97 and 59.94.
uint32_t TimeCodeTypeForRate(uint32_t rate, uint32_t scale, bool drop);

struct StartTimeCode {
    uint32_t frames = 0;
    uint32_t type = 0; // 0 when no type fits the rate
};

// "hh:mm:ss:ff" (';' or '.' before the frames mark drop-frame) at the given
// rate. False for text that is not a timecode.
bool TimeCodeTextToFrames(std::string_view text, uint32_t rate, uint32_t scale, StartTimeCode* out);

// The same for the fields of a timecode.
bool TimeCodeFieldsToFrames(uint32_t hours, uint32_t minutes, uint32_t seconds, uint32_t frames,
                            bool drop, uint32_t rate, uint32_t scale, StartTimeCode* out);

} // namespace reelio

#endif

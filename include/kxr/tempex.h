/* The timecode library: frame counts <-> SMPTE timecode text. Its three
 * operations are also reachable by ordinal (6, 7, 8) on Windows.
 *
 * The type argument holds a timecode type code in its low 8 bits:
 *   1 film (24), 2 non-drop (30), 4 drop-frame (29.97), 8 pal (25), 16 (50),
 *   32 (59.94, drop-frame counting), 64 (60), 128 film-drop and 132 23.98
 *   (both counted at 24 frames a second, no frame numbers dropped),
 *   255 a plain frame count written in decimal.
 * Code 0 and unknown codes count as non-drop 30.
 *
 * Flag bits OR-ed above the code:
 *   0x100   TEMPEX_FLAG_LENIENT: the text may hold one to four fields, read
 *           from the right (frames, seconds, minutes, hours): "5:00" is five
 *           seconds, "1:0:0:0" one hour. ':', ';', '.' and ',' all separate
 *           fields. Without it exactly four fields are required.
 *   0x2000  TEMPEX_FLAG_DROP_MARK: drop-frame texts separate the frames with
 *           ';' (00:01:00;02); other types always use ':'.
 *   0x10000 TEMPEX_FLAG_SIGNED: a negative count is written with a leading
 *           '-', and a leading '-' is read as a negative count ('+' is also
 *           allowed). Without it a negative count wraps into the 24-hour day
 *           when written, and a sign makes a text invalid.
 *   0x20000 TEMPEX_FLAG_DAY_WRAP: hours wrap at 24 when writing (a count of
 *           25 hours reads 01:00:00:00; with a '-' the magnitude wraps).
 *           Without it hours run on past 23.
 * The module passes 0x100 when it reads text and 0x32100 when it writes.
 *
 * Reading: blanks around the text are ignored. A field may have any number of
 * digits; a frame number at or above the rate, or seconds or minutes at or
 * above 60, make the text invalid, while hours have no limit but the count's.
 * A drop-frame text that names a skipped frame number (00:01:00;00) reads as
 * the first frame that exists after it (00:01:00;02). A count beyond the 32-bit
 * range is refused, never wrapped. Type 255 reads one decimal number.
 * Writing: the hours take at least two digits and grow as the count needs;
 * without TEMPEX_FLAG_SIGNED a negative count is written as its place in the
 * 24-hour day (-1 is the day's last frame). Type 255 always writes the count
 * as signed decimal. No text is longer than 15 characters. */
#ifndef KXR_TEMPEX_H
#define KXR_TEMPEX_H

#include <stdint.h>

#include "kxr/tempex_export.h"

#ifdef __cplusplus
extern "C" {
#endif

#define TEMPEX_TYPE_MASK 0xFFu
#define TEMPEX_FLAG_LENIENT 0x100u
#define TEMPEX_FLAG_DROP_MARK 0x2000u
#define TEMPEX_FLAG_SIGNED 0x10000u
#define TEMPEX_FLAG_DAY_WRAP 0x20000u

/* Room for any text TcFramesToText writes, terminator included. */
#define TEMPEX_TEXT_SIZE 16

enum TcTypeCode {
    kTcNone = 0,
    kTcFilm = 1,
    kTcNonDrop = 2,
    kTcDropFrame = 4,
    kTcPal = 8,
    kTc50 = 16,
    kTc5994 = 32,
    kTc60 = 64,
    kTcFilmDrop = 128,
    kTc2398 = 132,
    kTcFrames = 255
};

/* Ordinal 6. Returns 1 and the frame count, or 0 with *framesOut set to 0
 * when the text is not timecode (or is a null pointer). */
TEMPEX_EXPORT int32_t TcTextToFrames(const char* text, uint32_t typeAndFlags, int32_t* framesOut);
/* Ordinal 7. Writes at most TEMPEX_TEXT_SIZE bytes; returns the length. */
TEMPEX_EXPORT int32_t TcFramesToText(int32_t frames, uint32_t typeAndFlags, char* textOut);
/* Ordinal 8. Reads hexadecimal digits (no "0x") up to the first other
 * character; a run of more than eight keeps the value of its last eight. The
 * flags are not used. Returns 1, or 0 with *valueOut set to 0 when no digit
 * leads. */
TEMPEX_EXPORT int32_t TcHexToValue(const char* text, uint32_t flags, uint32_t* valueOut);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif

// Frame counts <-> timecode text. All arithmetic runs in 64 bits so that no
// text and no count, however large, can overflow; results that do not fit a
// 32-bit count are refused rather than wrapped.
#include "kxr/tempex.h"

#include <cstddef>
#include <cstdint>

namespace {

// How a type code counts: frame numbers per second, frame numbers skipped at
// the start of each minute not divisible by ten, and whether it has a rate at
// all (the plain frame count has none).
struct Rate {
    std::int64_t fps;
    std::int64_t drop;
    bool timecode;
};

Rate RateOf(std::uint32_t typeAndFlags) {
    switch (typeAndFlags & TEMPEX_TYPE_MASK) {
    case kTcFilm:
    case kTcFilmDrop:
    case kTc2398:
        return {24, 0, true};
    case kTcDropFrame:
        return {30, 2, true};
    case kTcPal:
        return {25, 0, true};
    case kTc50:
        return {50, 0, true};
    case kTc5994:
        return {60, 4, true};
    case kTc60:
        return {60, 0, true};
    case kTcFrames:
        return {1, 0, false};
    default:
        return {30, 0, true};
    }
}

// Real frames in ten minutes: the first minute keeps all its numbers, the
// other nine lose `drop` each.
std::int64_t FramesPerTenMinutes(const Rate& r) {
    return 600 * r.fps - 9 * r.drop;
}

std::int64_t FramesPerDay(const Rate& r) {
    return 144 * FramesPerTenMinutes(r);
}

// Hours, minutes, seconds and frame numbers to a real frame count.
std::int64_t FieldsToFrames(const Rate& r, std::int64_t h, std::int64_t m, std::int64_t s,
                            std::int64_t f) {
    const std::int64_t minutes = h * 60 + m;
    if (r.drop > 0 && s == 0 && f < r.drop && m % 10 != 0) {
        f = r.drop; // a skipped number names the first frame that exists
    }
    const std::int64_t nominal = ((minutes * 60) + s) * r.fps + f;
    return nominal - r.drop * (minutes - minutes / 10);
}

// A real frame count (>= 0) to its nominal frame number, the count the
// timecode fields spell out.
std::int64_t FramesToNominal(const Rate& r, std::int64_t n) {
    if (r.drop == 0) {
        return n;
    }
    const std::int64_t tenMinutes = n / FramesPerTenMinutes(r);
    const std::int64_t rest = n % FramesPerTenMinutes(r);
    std::int64_t skipped = 9 * r.drop * tenMinutes;
    if (rest >= r.drop) {
        skipped += r.drop * ((rest - r.drop) / (60 * r.fps - r.drop));
    }
    return n + skipped;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsSeparator(char c) {
    return c == ':' || c == ';' || c == '.' || c == ',';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Far beyond any 32-bit count, small enough that fields times their scale
// never overflow 64 bits.
constexpr std::int64_t kFieldCap = 1000000000000LL;

// Reads a run of decimal digits, saturating at kFieldCap. Returns false when
// no digit is at p.
bool ReadNumber(const char*& p, std::int64_t& value) {
    if (!IsDigit(*p)) {
        return false;
    }
    value = 0;
    while (IsDigit(*p)) {
        if (value < kFieldCap) {
            value = value * 10 + (*p - '0');
        }
        ++p;
    }
    return true;
}

int32_t Fail(int32_t* framesOut) {
    if (framesOut != nullptr) {
        *framesOut = 0;
    }
    return 0;
}

// Writes the decimal digits of v (>= 0), at least minDigits of them, at
// out[pos], never past out[limit - 1]. Returns the new position.
std::size_t PutNumber(char* out, std::size_t pos, std::size_t limit, std::uint64_t v,
                      int minDigits) {
    char digits[20];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0 && n < 20);
    while (n < minDigits && n < 20) {
        digits[n++] = '0';
    }
    while (n > 0 && pos < limit) {
        out[pos++] = digits[--n];
    }
    return pos;
}

} // namespace

extern "C" {

TEMPEX_EXPORT int32_t TcTextToFrames(const char* text, uint32_t typeAndFlags, int32_t* framesOut) {
    if (text == nullptr) {
        return Fail(framesOut);
    }
    const Rate r = RateOf(typeAndFlags);
    const char* p = text;
    while (IsBlank(*p)) {
        ++p;
    }
    bool negative = false;
    if ((typeAndFlags & TEMPEX_FLAG_SIGNED) != 0 && (*p == '-' || *p == '+')) {
        negative = *p == '-';
        ++p;
    }

    // Fields as written, left to right; at most four count.
    std::int64_t fields[4] = {0, 0, 0, 0};
    int count = 0;
    for (;;) {
        std::int64_t v = 0;
        if (count == 4 || !ReadNumber(p, v)) {
            return Fail(framesOut);
        }
        fields[count++] = v;
        if (!r.timecode || !IsSeparator(*p)) {
            break;
        }
        ++p;
    }
    while (IsBlank(*p)) {
        ++p;
    }
    if (*p != '\0') {
        return Fail(framesOut);
    }

    std::int64_t frames = 0;
    if (!r.timecode) {
        frames = fields[0];
    } else {
        if (count != 4 && (typeAndFlags & TEMPEX_FLAG_LENIENT) == 0) {
            return Fail(framesOut);
        }
        // Right-align: the last field is always the frame number.
        std::int64_t hmsf[4] = {0, 0, 0, 0};
        for (int i = 0; i < count; ++i) {
            hmsf[4 - count + i] = fields[i];
        }
        if (hmsf[3] >= r.fps || hmsf[2] >= 60 || hmsf[1] >= 60 || hmsf[0] >= kFieldCap) {
            return Fail(framesOut);
        }
        frames = FieldsToFrames(r, hmsf[0], hmsf[1], hmsf[2], hmsf[3]);
    }
    if (negative) {
        frames = -frames;
    }
    if (frames > INT32_MAX || frames < INT32_MIN) {
        return Fail(framesOut);
    }
    if (framesOut != nullptr) {
        *framesOut = static_cast<int32_t>(frames);
    }
    return 1;
}

TEMPEX_EXPORT int32_t TcFramesToText(int32_t frames, uint32_t typeAndFlags, char* textOut) {
    if (textOut == nullptr) {
        return 0;
    }
    // Every branch writes at most 15 characters: the longest text is a
    // negated INT32_MIN at 24 frames a second, "-24855:03:14:08".
    const std::size_t limit = TEMPEX_TEXT_SIZE - 1;
    const Rate r = RateOf(typeAndFlags);
    std::int64_t n = frames;
    std::size_t pos = 0;
    const bool isSigned = (typeAndFlags & TEMPEX_FLAG_SIGNED) != 0;

    if (!r.timecode) {
        if (n < 0) {
            textOut[pos++] = '-';
            n = -n;
        }
        pos = PutNumber(textOut, pos, limit, static_cast<std::uint64_t>(n), 1);
        textOut[pos] = '\0';
        return static_cast<int32_t>(pos);
    }

    const std::int64_t day = FramesPerDay(r);
    if (n < 0) {
        if (isSigned) {
            textOut[pos++] = '-';
            n = -n;
        } else {
            n = n % day + day;
            if (n == day) {
                n = 0;
            }
        }
    }
    if ((typeAndFlags & TEMPEX_FLAG_DAY_WRAP) != 0) {
        n %= day;
    }

    const std::int64_t nominal = FramesToNominal(r, n);
    const std::int64_t f = nominal % r.fps;
    const std::int64_t totalSeconds = nominal / r.fps;
    const std::int64_t s = totalSeconds % 60;
    const std::int64_t m = totalSeconds / 60 % 60;
    const std::int64_t h = totalSeconds / 3600;
    const bool dropMark = r.drop > 0 && (typeAndFlags & TEMPEX_FLAG_DROP_MARK) != 0;

    pos = PutNumber(textOut, pos, limit, static_cast<std::uint64_t>(h), 2);
    const std::int64_t rest[3] = {m, s, f};
    for (int i = 0; i < 3; ++i) {
        if (pos < limit) {
            textOut[pos++] = (i == 2 && dropMark) ? ';' : ':';
        }
        pos = PutNumber(textOut, pos, limit, static_cast<std::uint64_t>(rest[i]), 2);
    }
    textOut[pos] = '\0';
    return static_cast<int32_t>(pos);
}

TEMPEX_EXPORT int32_t TcHexToValue(const char* text, uint32_t /*flags*/, uint32_t* valueOut) {
    std::uint32_t value = 0;
    bool any = false;
    for (const char* p = text; p != nullptr; ++p) {
        const char c = *p;
        std::uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<std::uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        } else {
            break;
        }
        // Longer runs keep their low 32 bits, as the last eight digits say.
        value = (value << 4) | digit;
        any = true;
    }
    if (valueOut != nullptr) {
        *valueOut = value;
    }
    return any ? 1 : 0;
}

} // extern "C"

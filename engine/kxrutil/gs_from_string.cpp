// Positions written as durations with units, for the media-command text form
// where a value is neither timecode, hexadecimal nor a plain decimal.
//
// The text is an optional sign and one or more terms, each a number followed
// by a unit, with blanks allowed around and between them:
//   "12.5s"  "1m30s"  "1h 2m"  "500ms"  "100f"  ".5s"  "-2min"
// Units (any letter case): h (hours), m or min (minutes), s or sec (seconds),
// ms (milliseconds), f or fr (frames). Frames take whole numbers only; the
// other units take a decimal fraction ("1.5m"), counted to the microsecond.
// The terms are added up. Times become frames at 30 frames a second, the rate
// of the default timecode type, rounded to the nearest frame (halves away from
// zero); the function knows no channel, so a client that wants exact frames at
// another rate writes frames. A sign negates the whole sum.
// Anything else (no unit, an unknown unit, a frame fraction, a result outside
// the 32-bit range, a null pointer) is refused and the value left untouched.
#include "kxr/kxrutil.h"

#include <cstdint>

namespace {

constexpr int64_t kFramesPerSecond = 30;
constexpr int64_t kMicrosPerSecond = 1000000;
// Far above any time that fits a 32-bit frame count, far below the 64-bit
// limit, so that each step below can be checked against it without overflow.
constexpr int64_t kMicrosLimit = INT64_C(100000000000000000); // 1e17
constexpr int64_t kFramesLimit = INT64_C(1) << 31;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

const char* SkipBlanks(const char* p) {
    while (IsBlank(*p)) {
        ++p;
    }
    return p;
}

// Microseconds per unit; 0 for frames, -1 for a word that is no unit.
int64_t UnitMicros(const char* word, int length) {
    struct Unit {
        const char* name;
        int64_t micros;
    };
    static constexpr Unit kUnits[] = {
        {"h", 3600 * kMicrosPerSecond},
        {"m", 60 * kMicrosPerSecond},
        {"min", 60 * kMicrosPerSecond},
        {"s", kMicrosPerSecond},
        {"sec", kMicrosPerSecond},
        {"ms", 1000},
        {"f", 0},
        {"fr", 0},
    };
    for (const Unit& unit : kUnits) {
        int i = 0;
        while (i < length && unit.name[i] != '\0' && Lower(word[i]) == unit.name[i]) {
            ++i;
        }
        if (i == length && unit.name[i] == '\0') {
            return unit.micros;
        }
    }
    return -1;
}

struct Number {
    int64_t whole = 0;
    int64_t fraction = 0; // millionths: time is counted to the microsecond
    bool hasFraction = false;
};

// Reads digits [ '.' digits ] or '.' digits; returns the end, or nullptr when
// there is no digit or the whole part passes the limit.
const char* ReadNumber(const char* p, Number* number) {
    bool anyDigit = false;
    while (IsDigit(*p)) {
        number->whole = number->whole * 10 + (*p - '0');
        if (number->whole > kMicrosLimit) {
            return nullptr;
        }
        anyDigit = true;
        ++p;
    }
    if (*p == '.') {
        ++p;
        int64_t scale = kMicrosPerSecond / 10;
        while (IsDigit(*p)) {
            number->hasFraction = true;
            number->fraction += (*p - '0') * scale; // digits past the sixth add 0
            scale /= 10;
            anyDigit = true;
            ++p;
        }
    }
    return anyDigit ? p : nullptr;
}

} // namespace

extern "C" int32_t gsFromString(const char* text, int32_t* valueOut) {
    if (text == nullptr || valueOut == nullptr) {
        return 0;
    }
    const char* p = SkipBlanks(text);
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        p = SkipBlanks(p + 1);
    }

    int64_t micros = 0;
    int64_t frames = 0;
    int terms = 0;
    while (*p != '\0') {
        Number number;
        p = ReadNumber(p, &number);
        if (p == nullptr) {
            return 0;
        }
        p = SkipBlanks(p);
        const char* word = p;
        while (IsLetter(*p)) {
            ++p;
        }
        const int64_t unit = UnitMicros(word, static_cast<int>(p - word));
        if (unit < 0) {
            return 0;
        }
        if (unit == 0) {
            if (number.hasFraction || number.whole > kFramesLimit - frames) {
                return 0;
            }
            frames += number.whole;
        } else {
            if (number.whole > kMicrosLimit / unit) {
                return 0;
            }
            const int64_t term = number.whole * unit + number.fraction * unit / kMicrosPerSecond;
            if (term > kMicrosLimit - micros) {
                return 0;
            }
            micros += term;
        }
        ++terms;
        p = SkipBlanks(p);
    }
    if (terms == 0) {
        return 0;
    }

    // The limit on micros keeps this product within 64 bits.
    const int64_t timeFrames =
        (micros * kFramesPerSecond + kMicrosPerSecond / 2) / kMicrosPerSecond;
    if (timeFrames > kFramesLimit - frames) {
        return 0;
    }
    const int64_t magnitude = timeFrames + frames;
    if (magnitude > (negative ? kFramesLimit : kFramesLimit - 1)) {
        return 0;
    }
    *valueOut = static_cast<int32_t>(negative ? -magnitude : magnitude);
    return 1;
}

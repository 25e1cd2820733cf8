#include "reelio_timecode.h"

#include <cmath>
#include <cstdlib>
#include <numeric>

namespace reelio {
namespace {

bool Near(double a, double b) {
    return std::fabs(a - b) < 0.005;
}

double Fps(uint32_t rate, uint32_t scale) {
    return scale == 0 ? 0.0 : static_cast<double>(rate) / static_cast<double>(scale);
}

} // namespace

bool RateFromFloat(double fps, uint32_t* rate, uint32_t* scale) {
    if (!(fps > 0.0 && fps < 10000.0)) { // also refuses NaN
        return false;
    }
    for (uint32_t nominal : {24u, 30u, 48u, 60u, 120u}) {
        if (Near(fps, nominal * 1000.0 / 1001.0)) {
            *rate = nominal * 1000;
            *scale = 1001;
            return true;
        }
    }
    const double whole = std::round(fps);
    if (std::fabs(fps - whole) < 0.001) {
        *rate = static_cast<uint32_t>(whole);
        *scale = 1;
        return *rate != 0;
    }
    uint32_t r = static_cast<uint32_t>(std::lround(fps * 1000.0));
    uint32_t s = 1000;
    const uint32_t g = std::gcd(r, s);
    *rate = r / g;
    *scale = s / g;
    return true;
}

uint32_t TimeCodeTypeForRate(uint32_t rate, uint32_t scale, bool drop) {
    const double fps = Fps(rate, scale);
    if (Near(fps, 24000.0 / 1001.0)) {
        return kTcType2398;
    }
    if (Near(fps, 24.0)) {
        return kTcTypeFilm;
    }
    if (Near(fps, 25.0)) {
        return kTcTypePal;
    }
    if (Near(fps, 30000.0 / 1001.0)) {
        // Non-drop 29.97 counts like 30.
        return drop ? kTcTypeDropFrame : kTcTypeNonDrop;
    }
    if (Near(fps, 30.0)) {
        return kTcTypeNonDrop;
    }
    if (Near(fps, 50.0)) {
        return kTcType50;
    }
    if (Near(fps, 60000.0 / 1001.0)) {
        return drop ? kTcType5994 : kTcType60;
    }
    if (Near(fps, 60.0)) {
        return kTcType60;
    }
    return 0;
}

bool TimeCodeFieldsToFrames(uint32_t hours, uint32_t minutes, uint32_t seconds, uint32_t frames,
                            bool drop, uint32_t rate, uint32_t scale, StartTimeCode* out) {
    const uint32_t nominal = static_cast<uint32_t>(std::lround(Fps(rate, scale)));
    if (nominal == 0 || nominal > 1000 || hours > 99 || minutes > 59 || seconds > 59 ||
        frames >= nominal) {
        return false;
    }
    const uint32_t type = TimeCodeTypeForRate(rate, scale, drop);
    // Only the drop-frame types skip frame numbers: 2 a minute at 29.97, 4 at
    // 59.94, except every tenth minute.
    uint32_t skipped = 0;
    if (type == kTcTypeDropFrame) {
        skipped = 2;
    } else if (type == kTcType5994) {
        skipped = 4;
    }
    const uint32_t totalMinutes = hours * 60 + minutes;
    if (skipped != 0 && seconds == 0 && totalMinutes % 10 != 0 && frames < skipped) {
        frames = skipped; // a skipped label reads as the first frame after it
    }
    uint64_t count = (static_cast<uint64_t>(totalMinutes) * 60 + seconds) * nominal + frames;
    count -= static_cast<uint64_t>(skipped) * (totalMinutes - totalMinutes / 10);
    if (count > 0xFFFFFFFEu) {
        return false;
    }
    out->frames = static_cast<uint32_t>(count);
    out->type = type;
    return true;
}

bool TimeCodeTextToFrames(std::string_view text, uint32_t rate, uint32_t scale,
                          StartTimeCode* out) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\0')) {
        text.remove_suffix(1);
    }
    uint32_t fields[4] = {0, 0, 0, 0};
    int field = 0;
    int digits = 0;
    bool drop = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            if (++digits > 2) {
                return false;
            }
            fields[field] = fields[field] * 10 + static_cast<uint32_t>(c - '0');
        } else if (c == ':' || c == ';' || c == '.') {
            if (digits == 0 || field == 3) {
                return false;
            }
            if (field == 2) {
                drop = c != ':';
            }
            ++field;
            digits = 0;
        } else {
            return false;
        }
    }
    if (field != 3 || digits == 0) {
        return false;
    }
    return TimeCodeFieldsToFrames(fields[0], fields[1], fields[2], fields[3], drop, rate, scale,
                                  out);
}

} // namespace reelio

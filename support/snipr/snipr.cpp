// Fixed-width clip names: up to 8 characters, terminated early or not at all.
#include "kxr/snipr.h"

#include <cstddef>

namespace {

// Characters of the name within the width, trailing blanks not counted.
std::size_t SignificantLength(const unsigned char* name) {
    std::size_t n = 0;
    while (n < SNIPR_CLIP_WIDTH && name[n] != '\0') {
        ++n;
    }
    while (n > 0 && name[n - 1] == ' ') {
        --n;
    }
    return n;
}

} // namespace

extern "C" {

SNIPR_EXPORT void strcpyClip(void* target, const void* source) {
    if (target == nullptr) {
        return;
    }
    auto* out = static_cast<unsigned char*>(target);
    const auto* in = static_cast<const unsigned char*>(source);
    std::size_t n = 0;
    if (in != nullptr) {
        while (n < SNIPR_CLIP_WIDTH && in[n] != '\0') {
            out[n] = in[n];
            ++n;
        }
    }
    out[n] = '\0';
}

SNIPR_EXPORT int32_t strcmpClip(const void* a, const void* b) {
    static const unsigned char empty[1] = {0};
    const auto* x = a != nullptr ? static_cast<const unsigned char*>(a) : empty;
    const auto* y = b != nullptr ? static_cast<const unsigned char*>(b) : empty;
    const std::size_t lx = SignificantLength(x);
    const std::size_t ly = SignificantLength(y);
    for (std::size_t i = 0; i < lx || i < ly; ++i) {
        // Past its significant length a name reads as ended.
        const unsigned cx = i < lx ? x[i] : 0u;
        const unsigned cy = i < ly ? y[i] : 0u;
        if (cx != cy) {
            return cx < cy ? -1 : 1;
        }
    }
    return 0;
}

SNIPR_EXPORT int32_t IsSpecialClip(const void* name) {
    if (name == nullptr) {
        return 0;
    }
    const auto* s = static_cast<const unsigned char*>(name);
    return s[0] == ':' && s[1] == ':' ? 1 : 0;
}

SNIPR_EXPORT void termClip(void* name, uint32_t width) {
    if (name != nullptr) {
        static_cast<unsigned char*>(name)[width] = '\0';
    }
}

} // extern "C"

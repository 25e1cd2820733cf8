#include "reelio_media.h"

#include <utility>

namespace reelio {

void MediaDescription::SetText(int slot, std::string text) {
    if (slot < 1 || slot > kRLMetaTextSlots) {
        return;
    }
    // Control characters have no place in the XML these texts end up in.
    std::string clean;
    clean.reserve(text.size());
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x20 || c == '\t' || c == '\n' || c == '\r') {
            clean.push_back(c);
        }
    }
    while (!clean.empty() && (clean.back() == ' ' || clean.back() == '\n' || clean.back() == '\r' ||
                              clean.back() == '\t')) {
        clean.pop_back();
    }
    std::string& target = texts[static_cast<std::size_t>(slot - 1)];
    if (target.empty() && !clean.empty()) {
        target = std::move(clean);
    }
}

const StreamDescription* MediaDescription::FirstOf(StreamKind kind) const {
    for (const StreamDescription& stream : streams) {
        if (stream.kind == kind) {
            return &stream;
        }
    }
    return nullptr;
}

uint32_t FourCC(const char* text) {
    uint32_t code = 0;
    bool ended = false;
    for (int i = 0; i < 4; ++i) {
        ended = ended || text[i] == '\0';
        code = (code << 8) | static_cast<uint8_t>(ended ? ' ' : text[i]);
    }
    return code;
}

} // namespace reelio

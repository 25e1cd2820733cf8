#include "access/allow_list.h"

#include "platform/kxr_socket.h"

namespace kxr::access {

namespace {

constexpr Ipv4Block kLoopbackBlock{0x7F000000u, 0xFF000000u};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A decimal number of at most maxDigits digits without a leading zero, at
// most limit.
bool ReadSmallNumber(std::string_view text, size_t maxDigits, uint32_t limit, uint32_t* out) {
    if (text.empty() || text.size() > maxDigits || (text[0] == '0' && text.size() > 1))
        return false;
    uint32_t value = 0;
    for (char c : text) {
        if (!IsDigit(c))
            return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value > limit)
        return false;
    *out = value;
    return true;
}

// Four decimal parts: leading zeros are refused rather than read as octal,
// as some parsers would.
bool ReadIpv4(std::string_view text, uint32_t* out) {
    uint32_t address = 0;
    for (int part = 0; part < 4; ++part) {
        const size_t dot = text.find('.');
        const bool last = part == 3;
        if (last != (dot == std::string_view::npos))
            return false;
        uint32_t value = 0;
        if (!ReadSmallNumber(text.substr(0, dot), 3, 255, &value))
            return false;
        address = address << 8 | value;
        text = last ? std::string_view() : text.substr(dot + 1);
    }
    *out = address;
    return true;
}

// Groups of one to four hex digits between colons; the last may be a dotted
// IPv4 address when ipv4Tail allows it, counting as two groups.
bool CountIpv6Groups(std::string_view part, bool ipv4Tail, int* count) {
    *count = 0;
    if (part.empty())
        return true;
    for (;;) {
        const size_t colon = part.find(':');
        const std::string_view group = part.substr(0, colon);
        const bool last = colon == std::string_view::npos;
        uint32_t ignored = 0;
        if (last && ipv4Tail && group.find('.') != std::string_view::npos) {
            if (!ReadIpv4(group, &ignored))
                return false;
            *count += 2;
            return true;
        }
        if (group.empty() || group.size() > 4)
            return false;
        for (char c : group) {
            if (!IsHexDigit(c))
                return false;
        }
        ++*count;
        if (last)
            return true;
        part = part.substr(colon + 1);
    }
}

// An IPv6 address or block in any of its written forms: "::" compression,
// an IPv4 tail, brackets, a zone ("%eth0") and a prefix length.
bool IsIpv6Form(std::string_view text) {
    const size_t slash = text.find('/');
    if (slash != std::string_view::npos) {
        uint32_t length = 0;
        if (!ReadSmallNumber(text.substr(slash + 1), 3, 128, &length))
            return false;
        text = text.substr(0, slash);
    }
    if (!text.empty() && text.front() == '[') {
        if (text.size() < 2 || text.back() != ']')
            return false;
        text = text.substr(1, text.size() - 2);
    }
    const size_t percent = text.find('%');
    if (percent != std::string_view::npos) {
        if (percent + 1 == text.size())
            return false;
        text = text.substr(0, percent);
    }
    const size_t gap = text.find("::");
    int head = 0;
    int tail = 0;
    if (gap == std::string_view::npos)
        return CountIpv6Groups(text, true, &head) && head == 8;
    if (text.find("::", gap + 2) != std::string_view::npos)
        return false;
    return CountIpv6Groups(text.substr(0, gap), false, &head) &&
           CountIpv6Groups(text.substr(gap + 2), true, &tail) && head + tail <= 7;
}

uint32_t MaskOfLength(uint32_t length) {
    return length == 0 ? 0 : 0xFFFFFFFFu << (32 - length);
}

std::string FormatBlock(const Ipv4Block& block, uint32_t length) {
    return platform::Ipv4Format(platform::HostToNet32(block.network)) + "/" +
           std::to_string(length);
}

// One entry: true with the block, or false with the reason in *message.
bool ReadEntry(std::string_view entry, Ipv4Block* block, std::string* message) {
    const std::string quoted = "AllowFrom: \"" + std::string(entry) + "\"";
    if (entry.find(':') != std::string_view::npos || entry.find('[') != std::string_view::npos) {
        *message = IsIpv6Form(entry)
                       ? quoted + " is an IPv6 address, but the server listens on IPv4 only; "
                                  "the entry is ignored"
                       : quoted + " is not an IPv4 address or block (such as 10.20.0.0/16); "
                                  "the entry is ignored";
        return false;
    }
    const size_t slash = entry.find('/');
    uint32_t address = 0;
    uint32_t length = 32;
    if (!ReadIpv4(entry.substr(0, slash), &address) ||
        (slash != std::string_view::npos &&
         !ReadSmallNumber(entry.substr(slash + 1), 2, 32, &length))) {
        *message = quoted + " is not an IPv4 address or block (such as 10.20.0.0/16); the entry "
                            "is ignored";
        return false;
    }
    block->mask = MaskOfLength(length);
    block->network = address & block->mask;
    if (block->network != address)
        *message =
            quoted + " has bits set outside its prefix; taken as " + FormatBlock(*block, length);
    return true;
}

bool IsSeparator(char c) {
    return c == ',' || c == ' ' || c == '\t';
}

} // namespace

AllowList AllowList::Parse(std::string_view text, std::vector<std::string>* messages) {
    AllowList list;
    bool anyEntry = false;
    size_t at = 0;
    while (at < text.size()) {
        if (IsSeparator(text[at])) {
            ++at;
            continue;
        }
        size_t end = at;
        while (end < text.size() && !IsSeparator(text[end]))
            ++end;
        anyEntry = true;
        Ipv4Block block;
        std::string message;
        if (ReadEntry(text.substr(at, end - at), &block, &message))
            list.blocks_.push_back(block);
        if (!message.empty())
            messages->push_back(message);
        at = end;
    }
    if (!anyEntry)
        return list;
    list.everyone_ = false;
    if (list.blocks_.empty()) {
        messages->push_back(
            "AllowFrom has no usable entry: only this machine (127.0.0.0/8) may connect");
        return LoopbackOnly();
    }
    return list;
}

AllowList AllowList::LoopbackOnly() {
    AllowList list;
    list.everyone_ = false;
    list.blocks_.push_back(kLoopbackBlock);
    return list;
}

bool AllowList::Allows(uint32_t address) const {
    if (everyone_)
        return true;
    const uint32_t host = platform::NetToHost32(address);
    for (const Ipv4Block& block : blocks_) {
        if ((host & block.mask) == block.network)
            return true;
    }
    return false;
}

} // namespace kxr::access

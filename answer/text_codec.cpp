#include "answer/text_codec.h"

#include <array>
#include <cstring>

#include "kxr/tempex.h"

namespace kxr {

namespace {

struct Entity {
    const char* name; // "&name;"
    unsigned char byte;
};

// In byte order, so that a name matched without regard to letter case finds
// the capital letter of a pair first.
constexpr Entity kEntities[] = {
    {"&quot;", 0x22},   {"&amp;", 0x26},    {"&apos;", 0x27},   {"&lt;", 0x3C},
    {"&gt;", 0x3E},     {"&oelig;", 0x9C},  {"&nbsp;", 0xA0},   {"&iexcl;", 0xA1},
    {"&cent;", 0xA2},   {"&pound;", 0xA3},  {"&curren;", 0xA4}, {"&yen;", 0xA5},
    {"&brvbar;", 0xA6}, {"&sect;", 0xA7},   {"&uml;", 0xA8},    {"&copy;", 0xA9},
    {"&ordf;", 0xAA},   {"&laquo;", 0xAB},  {"&not;", 0xAC},    {"&shy;", 0xAD},
    {"&reg;", 0xAE},    {"&macr;", 0xAF},   {"&deg;", 0xB0},    {"&plusmn;", 0xB1},
    {"&sup2;", 0xB2},   {"&sup3;", 0xB3},   {"&acute;", 0xB4},  {"&micro;", 0xB5},
    {"&para;", 0xB6},   {"&middot;", 0xB7}, {"&cedil;", 0xB8},  {"&sup1;", 0xB9},
    {"&ordm;", 0xBA},   {"&raquo;", 0xBB},  {"&frac14;", 0xBC}, {"&frac12;", 0xBD},
    {"&frac34;", 0xBE}, {"&iquest;", 0xBF}, {"&Agrave;", 0xC0}, {"&Aacute;", 0xC1},
    {"&Acirc;", 0xC2},  {"&Atilde;", 0xC3}, {"&Auml;", 0xC4},   {"&Aring;", 0xC5},
    {"&AElig;", 0xC6},  {"&Ccedil;", 0xC7}, {"&Egrave;", 0xC8}, {"&Eacute;", 0xC9},
    {"&Ecirc;", 0xCA},  {"&Euml;", 0xCB},   {"&Igrave;", 0xCC}, {"&Iacute;", 0xCD},
    {"&Icirc;", 0xCE},  {"&Iuml;", 0xCF},   {"&ETH;", 0xD0},    {"&Ntilde;", 0xD1},
    {"&Ograve;", 0xD2}, {"&Oacute;", 0xD3}, {"&Ocirc;", 0xD4},  {"&Otilde;", 0xD5},
    {"&Ouml;", 0xD6},   {"&times;", 0xD7},  {"&Oslash;", 0xD8}, {"&Ugrave;", 0xD9},
    {"&Uacute;", 0xDA}, {"&Ucirc;", 0xDB},  {"&Uuml;", 0xDC},   {"&Yacute;", 0xDD},
    {"&THORN;", 0xDE},  {"&szlig;", 0xDF},  {"&agrave;", 0xE0}, {"&aacute;", 0xE1},
    {"&acirc;", 0xE2},  {"&atilde;", 0xE3}, {"&auml;", 0xE4},   {"&aring;", 0xE5},
    {"&aelig;", 0xE6},  {"&ccedil;", 0xE7}, {"&egrave;", 0xE8}, {"&eacute;", 0xE9},
    {"&ecirc;", 0xEA},  {"&euml;", 0xEB},   {"&igrave;", 0xEC}, {"&iacute;", 0xED},
    {"&icirc;", 0xEE},  {"&iuml;", 0xEF},   {"&eth;", 0xF0},    {"&ntilde;", 0xF1},
    {"&ograve;", 0xF2}, {"&oacute;", 0xF3}, {"&ocirc;", 0xF4},  {"&otilde;", 0xF5},
    {"&ouml;", 0xF6},   {"&divide;", 0xF7}, {"&oslash;", 0xF8}, {"&ugrave;", 0xF9},
    {"&uacute;", 0xFA}, {"&ucirc;", 0xFB},  {"&uuml;", 0xFC},   {"&yacute;", 0xFD},
    {"&thorn;", 0xFE},  {"&yuml;", 0xFF},
};

// The entity name of every byte, or null.
const std::array<const char*, 256>& NamesByByte() {
    static const std::array<const char*, 256> names = [] {
        std::array<const char*, 256> table{};
        for (const Entity& e : kEntities) {
            table[e.byte] = e.name;
        }
        return table;
    }();
    return names;
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWith(std::string_view text, std::string_view prefix, bool ignoreCase) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (ignoreCase ? Lower(text[i]) != Lower(prefix[i]) : text[i] != prefix[i]) {
            return false;
        }
    }
    return true;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The value of up to two hexadecimal characters, as the timecode library
// reads them (it stops at the first other character).
unsigned char HexPair(std::string_view text) {
    char digits[3] = {};
    std::memcpy(digits, text.data(), text.size() < 2 ? text.size() : 2);
    uint32_t value = 0;
    TcHexToValue(digits, 0, &value);
    return static_cast<unsigned char>(value);
}

// The entity a text starts with: the name written exactly so, else the first
// name in byte order that matches when letter case is ignored.
const Entity* MatchEntity(std::string_view text) {
    const Entity* folded = nullptr;
    for (const Entity& e : kEntities) {
        if (StartsWith(text, e.name, false)) {
            return &e;
        }
        if (folded == nullptr && StartsWith(text, e.name, true)) {
            folded = &e;
        }
    }
    return folded;
}

} // namespace

int32_t ParseDecimal(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Saturates instead of overflowing, as the C library's conversion does.
    int64_t value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t{INT32_MAX} + 1) {
            value = int64_t{INT32_MAX} + 1;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT32_MAX) {
        value = INT32_MAX;
    }
    return static_cast<int32_t>(value);
}

std::string DecodeRequestText(std::string_view src) {
    std::string out;
    out.reserve(src.size());
    size_t i = 0;
    while (i < src.size()) {
        const std::string_view rest = src.substr(i);
        const char c = src[i];
        if (c == '%') {
            if (rest.size() < 2) {
                // A lone "%" at the end stays as it is.
                out += '%';
                ++i;
            } else if (rest[1] == '%') {
                out += '%';
                i += 2;
            } else if (rest.size() >= 6 && StartsWith(rest, "%C2%", true)) {
                out += static_cast<char>(HexPair(rest.substr(4, 2)));
                i += 6;
            } else if (rest.size() >= 6 && StartsWith(rest, "%C3%", true)) {
                out += static_cast<char>(HexPair(rest.substr(4, 2)) + 0x40);
                i += 6;
            } else if (IsHexDigit(rest[1])) {
                out += static_cast<char>(HexPair(rest.substr(1, 2)));
                i += rest.size() < 3 ? rest.size() : 3;
            } else {
                out += rest[1];
                i += rest.size() < 3 ? rest.size() : 3;
            }
        } else if (c == '&' && rest.size() >= 2 && rest[1] == '#') {
            if (rest.size() >= 3 && (rest[2] == 'x' || rest[2] == 'X')) {
                const std::string_view digits = rest.substr(3, 2);
                out += static_cast<char>(HexPair(digits));
                i += 3 + digits.size();
            } else {
                out += static_cast<char>(ParseDecimal(rest.substr(2)) & 0xFF);
                i += 2;
                while (i < src.size() && (IsDigit(src[i]) || src[i] == '+' || src[i] == '-')) {
                    ++i;
                }
            }
            if (i < src.size() && src[i] == ';') {
                ++i;
            }
        } else if (c == '&') {
            if (const Entity* e = MatchEntity(rest)) {
                // "&quot;" reads as a blank: quotes would end the attribute
                // values the decoded text goes into.
                out += e->byte == 0x22 ? ' ' : static_cast<char>(e->byte);
                i += std::strlen(e->name);
            } else {
                out += '&';
                ++i;
            }
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

std::string EncodeEntities(std::string_view src) {
    const auto& names = NamesByByte();
    std::string out;
    out.reserve(src.size());
    for (const char c : src) {
        const auto byte = static_cast<unsigned char>(c);
        if (names[byte] != nullptr) {
            out += names[byte];
        } else if (byte < 0x80) {
            out += c;
        } else {
            out += "&#" + std::to_string(byte) + ";";
        }
    }
    return out;
}

int32_t DecodeRequestText(CMyHttpClient* /*client*/, const char* source, char* target) {
    const std::string decoded = DecodeRequestText(std::string_view(source));
    std::memcpy(target, decoded.data(), decoded.size());
    target[decoded.size()] = '\0';
    return static_cast<int32_t>(decoded.size());
}

int32_t EncodeEntities(CMyHttpClient* /*client*/, const char* source, char* target,
                       int32_t /*mode*/) {
    const std::string encoded = EncodeEntities(std::string_view(source));
    std::memcpy(target, encoded.data(), encoded.size());
    target[encoded.size()] = '\0';
    return static_cast<int32_t>(encoded.size());
}

int32_t CompareDecoded(CMyHttpClient* client, const char* a, const char* b) {
    std::string da(std::strlen(a) + 2, '\0');
    std::string db(std::strlen(b) + 2, '\0');
    DecodeRequestText(client, a, da.data());
    DecodeRequestText(client, b, db.data());
    return std::strcmp(da.c_str(), db.c_str());
}

} // namespace kxr

#include "answer/timecode_names.h"

#include <cstring>

namespace kxr {

namespace {

struct TcTypeNameEntry {
    uint32_t code;
    const char* name;
};

constexpr TcTypeNameEntry kTcTypeNames[] = {
    {1, "film"},    {2, "non-drop-frame"}, {4, "drop-frame"}, {8, "pal"},
    {16, "50"},     {32, "59.94"},         {64, "60"},        {128, "film-drop"},
    {132, "23.98"}, {255, "frames"},
};

} // namespace

int32_t TcTypeName(CMyHttpClient* /*client*/, uint32_t code, char* textOut) {
    if (code == 0) {
        if (textOut != nullptr) {
            textOut[0] = '\0';
        }
        return 0;
    }
    if (textOut == nullptr) {
        return 1;
    }
    for (const TcTypeNameEntry& entry : kTcTypeNames) {
        if (entry.code == code) {
            std::memcpy(textOut, entry.name, std::strlen(entry.name) + 1);
            break;
        }
    }
    return 1;
}

} // namespace kxr

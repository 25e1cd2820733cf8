#include "api/pages_common.h"

namespace kxr {

const char kPageHeadLines[] =
    "<meta http-equiv=\"expires\" content=\"Wed, 5 July 1995 09:48:57 EST\"></meta>\n"
    "<meta http-equiv=\"Pragma\" CONTENT=\"no-cache\"></meta>\n"
    "<meta http-equiv=\"cache-control\" content=\"no-cache\"></meta>\n"
    "<meta http-equiv=\"pragma\" content=\"no-cache\"></meta>\n"
    "<link rel=\"stylesheet\" type=\"text/css\" href=\"kxr.css\"></link>\n";

namespace {

struct CodeName {
    uint32_t code;
    const char* name;
};

const char kUnknown[] = "Unknown";

const char* Lookup(const CodeName* table, size_t count, uint32_t code, const char* otherwise) {
    for (size_t i = 0; i < count; ++i) {
        if (table[i].code == code) {
            return table[i].name;
        }
    }
    return otherwise;
}

template <size_t N>
const char* Lookup(const CodeName (&table)[N], uint32_t code, const char* otherwise) {
    return Lookup(table, N, code, otherwise);
}

const CodeName kAudioConnections[] = {
    {1, "Unbalanced -10"}, {2, "Unbalanced +4"}, {16, "Balanced -10"},  {32, "Balanced +4"},
    {256, "SPDIF"},        {512, "AES/EBU"},     {1024, "D1 Embedded"},
};

const CodeName kVideoInputs[] = {
    {1, "Composite"},       {2, "S-Video"},          {4, "Composite 2"},
    {16, "Component Beta"}, {32, "Component M2"},    {64, "Component SMPTE"},
    {128, "Component RGB"}, {256, "Serial Digital"}, {512, "Parallel Digital"},
    {1024, "SDTI"},         {4096, kUnknown},        {16384, "Serial Digital 2"},
};

// Outputs differ from inputs at 16 (no Beta output) and 4096 (a second
// S-Video connector).
const CodeName kVideoOutputs[] = {
    {1, "Composite"},       {2, "S-Video"},          {4, "Composite 2"},
    {16, kUnknown},         {32, "Component M2"},    {64, "Component SMPTE"},
    {128, "Component RGB"}, {256, "Serial Digital"}, {512, "Parallel Digital"},
    {1024, "SDTI"},         {4096, "S-Video 2"},     {16384, "Serial Digital 2"},
};

const CodeName kModes[] = {
    {0, "Server Mode"},
    {1, "VTR Mode"},
    {2, "Single Mode"},
    {3, "Film Mode"},
};

const CodeName kTcTypes[] = {
    {1, "Film (24 FPS)"},
    {2, "Non Drop Frame (29.97/30 FPS)"},
    {4, "Drop Frame (29.97 FPS)"},
    {8, "PAL (25 FPS)"},
    {16, "PAL (50 FPS)"},
    {32, "59.94 FPS"},
    {64, "60 FPS"},
    {68, "100 FPS"},
    {128, "23.98 FPS"},
    {132, "23.98DF FPS"},
};

} // namespace

const char* AudioConnectionName(uint32_t code) {
    return Lookup(kAudioConnections, code, kUnknown);
}

const char* VideoInputName(uint32_t code) {
    return Lookup(kVideoInputs, code, kUnknown);
}

const char* VideoOutputName(uint32_t code) {
    return Lookup(kVideoOutputs, code, kUnknown);
}

const char* ChannelModeName(int32_t mode) {
    return Lookup(kModes, static_cast<uint32_t>(mode), "Default Mode");
}

const char* TcTypeLongName(uint32_t type) {
    return Lookup(kTcTypes, type, "Unkown FPS");
}

uint32_t ChannelCountFromMask(uint32_t mask, unsigned lowestBit) {
    for (unsigned bit = 32; bit-- > lowestBit;) {
        if ((mask & (1u << bit)) != 0) {
            return bit + 1;
        }
    }
    return 0;
}

int32_t SpeedPercent(int32_t speed) {
    const auto product = static_cast<int32_t>(static_cast<uint32_t>(speed) * 100u);
    return product / 65520;
}

uint32_t AudioLevelPercent(uint32_t level) {
    return level == 0xFFFFFFFFu ? 0 : level * 100u / 65536u;
}

uint32_t VideoValuePercent(uint32_t value) {
    return (value * 100u + 32768u) / 65536u;
}

void AppendDecimal(std::string& text, int64_t number) {
    text += std::to_string(number);
}

} // namespace kxr

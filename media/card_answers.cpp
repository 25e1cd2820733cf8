#include "media/card_answers.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "answer/http_request.h"
#include "answer/xml_answer.h"
#include "binding/engine_binding.h"
#include "kxr/engine.h"

namespace kxr {

namespace {

constexpr const char* kInterlaced = "interlaced";

// Set when the connector has a second name for connector variant 1.
struct ConnectorEntry {
    uint32_t value;
    const char* name;
    const char* variantName;
};

constexpr ConnectorEntry kConnectors[] = {
    {0x0, "None", nullptr},
    {0x1, "Composite", nullptr},
    {0x2, "S-Video", nullptr},
    {0x4, "Composite 2", nullptr},
    {0x10, "YUV", nullptr},
    {0x20, "YUV_M2", nullptr},
    {0x40, "YUV Smpte", nullptr},
    {0x80, "Component", nullptr},
    {0x100, "Serial digital", nullptr},
    {0x200, "Parallel Digital", nullptr},
    {0x400, "SDTI", nullptr},
    {0x800, "12G/6G Dual Rate SQD", "12G/6G Dual Rate 2SI"},
    {0x1000, "S-Video 2", nullptr},
    {0x2000, "Dual Link 4k SQD", "Dual Link 4k 2SI"},
    {0x4000, "Serial Digital Inout 2", nullptr},
    {0x8000, "Composite (Japan)", nullptr},
    {0x10000, "S-Video (Japan)", nullptr},
    {0x40000, "12G/6G Dual Link SQD", "12G/6G Dual Link 2SI"},
    {0x80000, "xVGA compatible analog RGB", nullptr},
    {0x100000, "HDMI", "HDMI 2SI"}, // inputs keep "HDMI"
    {0x200000, "HDMI (rgb)", nullptr},
    {0x400000, "HDMI (ycbcr)", nullptr},
    {0x800000, "Dvi", nullptr},
    {0x1000000, "3G Dual Rate SQD", "3G Dual Rate 2SI"},
    {0x2000000, "3G Dual Link SQD", "3G Dual Link 2SI"},
};
constexpr uint32_t kHdmi = 0x100000;

// Names of one-bit values, bit 0 first.
constexpr const char* kCompressionNames[32] = {
    "HEVC",
    "Bayer",
    "h.264",
    "JPEG-2000",
    "Jpeg XS",
    "BGR",
    "HD CAM",
    "MPEG",
    "DV 25",
    "DV 50",
    "DV SD",
    "DV 100",
    "Cineform",
    "V210",
    "RGB",
    "DNxHD",
    "AVCi",
    "ProRes",
    "RGB 12 bit",
    "Ycrcb 10 bit",
    "ARGB",
    "RGBA",
    "ABGR",
    "BGRA",
    "Y'CrCb 4:2:2",
    "Y'CrCb 4:2:2A",
    "Y'CrCb 4:4:4",
    "Y'CrCb 4:4:4A",
    "Stereo Y'CrCb 4:4:4A",
    "Y'CrCb 4:2:0",
    "DPX 10 bit RGB",
    "Alternate",
};

constexpr const char* kContainerNames[32] = {
    "avi",       "mov",        "avid amt mxf", "loop",     "sony hd mxf",
    "HDCam mxf", "dpp mxf",    "hdr",          "yuv",      "raw",
    "tga",       "bmp",        "tiff",         "avci mxf", "dpx",
    "mpg",       "4224",       "Sony mxf",     "P2 mxf",   "avid mxf",
    "arri",      "jp2k still", "OP1a mxf",     "DCP mxf",  "transport stream",
    "MP4",       "HDF mxf",    "DNG",          "AS02 mxf", nullptr,
    nullptr,     nullptr,
};

const char* OneBitName(const char* const (&names)[32], uint32_t value) {
    if (value == 0 || (value & (value - 1)) != 0) {
        return nullptr;
    }
    uint32_t bit = 0;
    while ((value >> bit) != 1) {
        ++bit;
    }
    return names[bit];
}

// The card number after "&channel=", 0 without one.
int32_t CardNumber(const std::string& path) {
    static constexpr char kKey[] = "&channel=";
    const size_t at = path.find(kKey);
    return at == std::string::npos ? 0 : std::atoi(path.c_str() + at + sizeof kKey - 1);
}

void SetOptionalText(TiXmlElement* element, const char* text) {
    if (text != nullptr) {
        element->LinkEndChild(new TiXmlText(text));
    }
}

} // namespace

// Unlisted codes show this row. Its height and width are the other way
// round from the 1080i row it names; controllers read it that way.
constexpr SignalFormat kDefaultSignalFormat = {
    0, 1920, 1080, 30000, 1001, kInterlaced, "HD 1080i 29.97"};

const SignalFormat kSignalFormats[kSignalFormatCount] = {
    {0x1100401D, 480, 640, 30000, 1001, "interlaced", "NTSC"},
    {0x11204217, 486, 720, 24000, 1001, "interlaced", "NTSC 23.98"},
    {0x1120421D, 486, 720, 30000, 1001, "interlaced", "CCIR NTSC"},
    {0x1120501D, 486, 960, 30000, 1001, "interlaced", "NTSC High Res"},
    {0x1160501D, 960, 1280, 30000, 1001, "interlaced", "Compressed HD 960i 29.97"},
    {0x11A04019, 576, 720, 25, 1, "interlaced", "PAL"},
    {0x11A04219, 576, 720, 25, 1, "interlaced", "PAL"},
    {0x11A05019, 576, 960, 25, 1, "interlaced", "PAL High Res"},
    {0x1310B21D, 1035, 1920, 30000, 1001, "interlaced", "HD 1035i 29.97"},
    {0x1310B21E, 1035, 1920, 30, 1, "interlaced", "HD 135i 30"},
    {0x1380B217, 1080, 1920, 24000, 1001, "interlaced", "HD 1080i 23.98"},
    {0x1380B218, 1080, 1920, 24, 1, "interlaced", "HD 1080i 24"},
    {0x1380B219, 1080, 1920, 25, 1, "interlaced", "HD 1080i 25"},
    {0x1380B21D, 1080, 1920, 30000, 1001, "interlaced", "HD 1080i 29.97"},
    {0x1380B21E, 1080, 1920, 30, 1, "interlaced", "HD 1080i 30"},
    {0x1380B232, 1080, 1920, 50, 1, "interlaced", "HD 1080i 50 Level B"},
    {0x1380B23B, 1080, 1920, 60000, 1001, "interlaced", "HD 1080i 59.94 Level B"},
    {0x1380B23C, 1080, 1920, 60, 1, "interlaced", "HD 1080i 60 Level B"},
    {0x2110421D, 483, 720, 30000, 1001, "progressive", "CCIR NTSC P483"},
    {0x2120421E, 486, 720, 30, 1, "progressive", "NTSC 30"},
    {0x21A04219, 576, 720, 25, 1, "progressive", "CCIR PAL"},
    {0x22109017, 720, 1280, 24000, 1001, "progressive", "HD 720p 23.98"},
    {0x22109018, 720, 1280, 24, 1, "progressive", "HD 720p 24"},
    {0x22109019, 720, 1280, 25, 1, "progressive", "HD 720p 25"},
    {0x2210901D, 720, 1280, 30000, 1001, "progressive", "HD 720p 29.97"},
    {0x2210901E, 720, 1280, 30, 1, "progressive", "HD 720p 30"},
    {0x22109032, 720, 1280, 50, 1, "progressive", "HD 720p 50"},
    {0x2210903B, 720, 1280, 60000, 1001, "progressive", "HD 720p 59.94"},
    {0x2210903C, 720, 1280, 60, 1, "progressive", "HD 720p 60"},
    {0x2250AC18, 988, 1828, 24, 1, "progressive", "FILM 988p 24"},
    {0x2250AC19, 988, 1828, 25, 1, "progressive", "FILM 988p 25"},
    {0x2260C018, 857, 2048, 24, 1, "progressive", "FILM 857p 24"},
    {0x2260C019, 857, 2048, 25, 1, "progressive", "FILM 857p 25"},
    {0x22A0AC18, 778, 1828, 24, 1, "progressive", "FILM 778p 24"},
    {0x22A0AC19, 778, 1828, 24, 1, "progressive", "FILM 778p 24"},
    {0x22B0C018, 872, 2048, 24, 1, "progressive", "FILM872p 24"},
    {0x22B0C019, 872, 2048, 25, 1, "progressive", "FILM 872p 25"},
    {0x23409618, 1050, 1400, 24, 1, "progressive", "DCIN 1050p 24"},
    {0x23409619, 1050, 1400, 25, 1, "progressive", "DCIN 1050p 25"},
    {0x2380B217, 1080, 1920, 24000, 1001, "progressive", "HD 1080P 23.98"},
    {0x2380B218, 1080, 1920, 24, 1, "progressive", "HD 1080P 24"},
    {0x2380B219, 1080, 1920, 25, 1, "progressive", "HD 1080P 25"},
    {0x2380B21D, 1080, 1920, 30000, 1001, "progressive", "HD 1080P 29.97"},
    {0x2380B21E, 1080, 1920, 30, 1, "progressive", "HD 1080P 30"},
    {0x2380B22F, 1080, 1920, 48000, 1001, "progressive", "HD 1080p 47.95 Level A"},
    {0x2380B230, 1080, 1920, 48, 1, "progressive", "HD 1080p 48 Level A"},
    {0x2380B232, 1080, 1920, 50, 1, "progressive", "HD 1080p 50 Level A"},
    {0x2380B23B, 1080, 1920, 60, 1, "progressive", "HD 1080p 60 Level A"},
    {0x2380B23C, 1080, 1920, 60, 1, "progressive", "HD 1080p 60 Level A"},
    {0x2380C017, 1080, 2048, 24000, 1001, "progressive", "DCIN 2048p 23.98"},
    {0x2380C018, 1080, 2048, 24, 1, "progressive", "DCIN 2048p 24"},
    {0x2380C019, 1080, 2048, 25, 1, "progressive", "DCIN 2048 25"},
    {0x2380C01D, 1080, 2048, 30000, 1001, "progressive", "DCIN 2048p 29.97"},
    {0x2380C01E, 1080, 2048, 30, 1, "progressive", "DCIN 2048p 30"},
    {0x2380C030, 1080, 2048, 48, 1, "progressive", "DCIN 2048p 48"},
    {0x2380C032, 1080, 2048, 50, 1, "progressive", "DCIN 2048p 50"},
    {0x2380C03B, 1080, 2048, 60000, 1001, "progressive", "DCIN 2048p 59.94"},
    {0x2380C03C, 1080, 2048, 60, 1, "progressive", "DCIN 2048p 60"},
    {0x2380D03C, 1080, 2560, 60, 1, "progressive", "Ultra WideScreen 1080p 60"},
    {0x2380D0C8, 1080, 2560, 200, 1, "progressive", "Ultra WideScreen 1080p 200"},
    {0x23E0AC18, 1102, 1828, 24, 1, "progressive", "FILM 1102p 24"},
    {0x23E0AC19, 1102, 1828, 25, 1, "progressive", "FILM 1102p 25"},
    {0x23E0C018, 1102, 2048, 24, 1, "progressive", "FILM 1102p 24"},
    {0x23E0C019, 1102, 2048, 25, 1, "progressive", "FILM 1102p 25"},
    {0x2430C018, 1234, 2048, 25, 1, "progressive", "FILM 1234p 25"},
    {0x2430C019, 1234, 2048, 25, 1, "progressive", "FILM 1234p 25"},
    {0x2490AC18, 1332, 1828, 24, 1, "progressive", "FILM 1332p 24"},
    {0x2490AC19, 1332, 1828, 25, 1, "progressive", "FILM 1332p 25"},
    {0x2500C00E, 1536, 2048, 15000, 1001, "progessive", "FILM 2048p 14.98"},
    {0x2500C00F, 1536, 2048, 15, 1, "progessive", "FILM 2048p 15"},
    {0x2500C017, 1536, 2048, 24000, 1001, "progessive", "FILM 2048p 23.98"},
    {0x2500C018, 1536, 2048, 24, 1, "progessive", "FILM 2048p 24"},
    {0x2500C019, 1536, 2048, 25, 1, "progessive", "FILM 2048p 25"},
    {0x2500C02F, 1536, 2048, 48000, 1001, "progessive", "FILM 2048p 47.95"},
    {0x2500C030, 1536, 2048, 48, 1, "progessive", "FILM 2048p 48"},
    {0x2510C00E, 1556, 2048, 15000, 1001, "progessive", "FILM 2048p 14.98"},
    {0x2510C00F, 1556, 2048, 15, 1, "progessive", "FILM 2048p 15"},
    {0x2510C017, 1556, 2048, 24000, 1001, "progessive", "FILM 2048p 23.98"},
    {0x2510C018, 1556, 2048, 24, 1, "progressive", "FILM 2048p 24"},
    {0x2510C019, 1556, 2048, 25, 1, "progressive", "FILM 2048p 25"},
    {0x2510C01D, 1556, 2048, 30000, 1001, "progressive", "FILM 2048p 29.97"},
    {0x2510C01E, 1556, 2048, 30, 1, "progressive", "FILM 2048p 30"},
    {0x2510C030, 1556, 2048, 48, 1, "progressive", "FILM 2048p 48"},
    {0x25710017, 1714, 4096, 24000, 1001, "progressive", "4K 1714p 23.98"},
    {0x25710018, 1714, 4096, 24, 1, "progressive", "4K 1714p 24"},
    {0x2640F017, 2160, 3840, 24000, 1001, "progressive", "UHD 2160p 23.98"},
    {0x2640F018, 2160, 3840, 24, 1, "progressive", "UHD 2160p 24"},
    {0x2640F019, 2160, 3840, 25, 1, "progressive", "UHD 2160p 25"},
    {0x2640F01D, 2160, 3840, 30000, 1001, "progressive", "UHD 2160p 29.97"},
    {0x2640F01E, 2160, 3840, 30, 1, "progressive", "UHD 2160p 30"},
    {0x2640F030, 2160, 3840, 48, 1, "progressive", "UHD 2160p 48"},
    {0x2640F032, 2160, 3840, 50, 1, "progressive", "UHD 2160p 50"},
    {0x2640F03B, 2160, 3840, 60000, 1001, "progressive", "UHD 2160p 59.94"},
    {0x2640F03C, 2160, 3840, 60, 1, "progressive", "UHD 2160p 60"},
    {0x26410017, 2160, 4096, 24000, 1001, "progressive", "4K 2160p 23.98"},
    {0x26410018, 2160, 4096, 24, 1, "progressive", "4K 2160p 24"},
    {0x26410019, 2160, 4096, 25, 1, "progressive", "4K 2160p 25"},
    {0x2641001D, 2160, 4096, 30000, 1001, "progressive", "4K 2160p 29.97"},
    {0x2641001E, 2160, 4096, 30, 1, "progressive", "4K 2160p 30"},
    {0x26410030, 2160, 4096, 48, 1, "progressive", "4K 2160p 48"},
    {0x26410032, 2160, 4096, 50, 1, "progressive", "4K 2160p 50"},
    {0x2641003B, 2160, 4096, 60000, 1001, "progressive", "4K 2160p 59.94"},
    {0x2641003C, 2160, 4096, 60, 1, "progressive", "4K 2160p 60"},
    {0x2650B617, 4320, 4096, 24000, 1001, "progressive", "4K 4320p 23.98"},
    {0x2650B618, 4320, 7680, 24, 1, "progressive", "SUHD 4320p 24"},
    {0x2650B619, 4320, 7680, 25, 1, "progressive", "SUHD 4320p 25"},
    {0x2650B61D, 4320, 7680, 30000, 1001, "progressive", "SUHD 4320p 29.97"},
    {0x2650B61E, 4320, 7680, 30, 1, "progressive", "SUHD 4320p 30"},
    {0x2650B632, 4320, 7680, 50, 1, "progressive", "SUHD 4320p 50"},
    {0x2650B63B, 4320, 7680, 60000, 1001, "progressive", "SUHD 4320p 59.94"},
    {0x2650B63C, 4320, 7680, 60, 1, "progressive", "SUHD 4320p 60"},
    {0x2650B817, 4320, 8192, 30, 1, "progressive", "8K 4320p 30"},
    {0x2650B818, 4320, 8192, 24, 1, "progressive", "8K 4320p 24"},
    {0x2650B819, 2160, 8192, 25, 1, "progressive", "8K 2160p 25"},
    {0x2650B81D, 2160, 8192, 30000, 1001, "progressive", "8K 2160p 29.97"},
    {0x2650B81E, 2160, 8192, 30, 1, "progressive", "8K 2160p 30"},
    {0x2650B832, 2160, 8192, 50, 1, "progressive", "8K 2160p 50"},
    {0x2650B83B, 2160, 8192, 60000, 1001, "progressive", "8K 2160p 59.94"},
    {0x2650B83C, 2160, 8192, 60, 1, "progressive", "8K 2160p 60"},
    {0x26B10017, 3112, 4096, 24000, 1001, "progressive", "4K 3112p 23.98"},
    {0x26B10018, 3112, 4096, 24, 1, "progressive", "4K 3112p 24"},
    {0x4380B217, 1080, 1920, 24000, 1001, "segmented", "HD 1080psf 23.98"},
    {0x4380B218, 1080, 1920, 24, 1, "segmented", "HD 1080psf 24"},
    {0x4380B219, 1080, 1920, 25, 1, "segmented", "HD 1080psf 25"},
    {0x4380B21D, 1080, 1920, 30000, 1001, "segmented", "HD 1080psf 29.97"},
    {0x4380B21E, 1080, 1920, 30, 1, "segmented", "HD 1080psf 30"},
    {0x4380C017, 1080, 2048, 24000, 1001, "segmented", "DCIN 2048psf 23.98"},
    {0x4380C018, 1080, 2048, 24, 1, "segmented", "DCIN 2048psf 24"},
    {0x4380C019, 1080, 2048, 25, 1, "segmented", "DCIN 2048psf 25"},
    {0x4380C01D, 1080, 2048, 30000, 1001, "progressive", "DCIN 2048p 29.97"},
    {0x4380C01E, 1080, 2048, 30, 1, "progressive", "DCIN 2048p 30"},
    {0x4500C00E, 1536, 2048, 15000, 1001, "segmented", "FILM 2048psf 14.98"},
    {0x4500C00F, 1536, 2048, 15, 1, "segmented", "FILM 2048psf 15"},
    {0x4500C017, 1536, 2048, 24000, 1001, "segmented", "FILM 2048psf 23.98"},
    {0x4500C018, 1536, 2048, 24, 1, "segmented", "FILM 2048psf 24"},
    {0x4500C019, 1536, 2048, 25, 1, "segmented", "FILM 2048psf 25"},
    {0x4510C00E, 1556, 2048, 15000, 1001, "segmented", "FILM 2048psf 14.98"},
    {0x4510C00F, 1556, 2048, 15, 1, "segmented", "FILM 2048psf 15"},
    {0x4510C017, 1556, 2048, 24000, 1001, "segmented", "FILM 2048psf 23.98"},
    {0x4510C018, 1556, 2048, 24, 1, "segmented", "FILM 2048psf 24"},
    {0x4510C019, 1556, 2048, 25, 1, "segmented", "FILM 2048psf 25"},
    {0x4640F017, 2160, 3840, 24000, 1001, "progressive", "UHD 2160p 23.98"},
    {0x4640F018, 2160, 3840, 24, 1, "progressive", "UHD 2160p 24"},
    {0x4640F019, 2160, 3840, 25, 1, "segmented", "UHD 2160psf 25"},
    {0x4640F01D, 2160, 3840, 30000, 1001, "segmented", "UHD 2160psf 29.97"},
    {0x4640F01E, 2160, 3840, 30, 1, "segmented", "UHD 2160psf 30"},
    {0x46410017, 2160, 4096, 24000, 1001, "segmented", "4K 2160psf 23.98"},
    {0x46410018, 2160, 4096, 24, 1, "segmented", "4K 2160psf 24"},
    {0x46410019, 2160, 4096, 25, 1, "segmented", "4K 2160psf 25"},
    {0x4641001D, 2160, 4096, 30000, 1001, "segmented", "4K 2160psf 29.97"},
    {0x4641001E, 2160, 4096, 30, 1, "segmented", "4K 2160psf 30"},
    {0x46B10005, 3112, 4096, 5, 1, "segmented", "4K 3112psf 5"},
};

const SignalFormat& DefaultSignalFormat() {
    return kDefaultSignalFormat;
}

const SignalFormat& FindSignalFormat(uint32_t code) {
    for (const SignalFormat& format : kSignalFormats) {
        if (format.code == code) {
            return format;
        }
    }
    return kDefaultSignalFormat;
}

const char* CompressionName(uint32_t value) {
    return OneBitName(kCompressionNames, value);
}

const char* ContainerName(uint32_t value) {
    return OneBitName(kContainerNames, value);
}

const char* ConnectorName(uint32_t value, uint32_t variant, bool output) {
    for (const ConnectorEntry& entry : kConnectors) {
        if (entry.value != value) {
            continue;
        }
        const bool second =
            variant == 1 && entry.variantName != nullptr && (output || entry.value != kHdmi);
        return second ? entry.variantName : entry.name;
    }
    return "Unknown";
}

int32_t HandleCardInfoRequest(CMyHttpClient* /*client*/, char** bodyOut, int32_t* lengthOut,
                              CHttpRequest* request) {
    const EngineTable& engine = Engine();
    XmlAnswer answer("CardInfo", "card info message");

    const int32_t card = CardNumber(request != nullptr ? request->path : std::string());
    char name[kEngineNameSize] = {};
    engine.getChannelName(card, name);
    name[sizeof name - 1] = '\0';
    answer.AddText("cardnumber", name)->SetAttribute("Value", card);

    const uint32_t formatCode = engine.getSetting(card, kSettingSignalFormat, 0, 0);
    const SignalFormat& format = FindSignalFormat(formatCode);
    TiXmlElement* signal = answer.AddText("SignalFormat", format.name);
    signal->SetAttribute("Value", static_cast<int32_t>(formatCode));
    signal->SetAttribute("height", format.height);
    signal->SetAttribute("width", format.width);
    signal->SetAttribute("rate", format.rate);
    signal->SetAttribute("scale", format.scale);
    signal->SetAttribute("frametype", format.frameType);

    const uint32_t compression = engine.getSetting(card, kSettingCompression, 0, 0);
    TiXmlElement* element = answer.AddElement("Compression");
    element->SetAttribute("Value", static_cast<int32_t>(compression));
    SetOptionalText(element, CompressionName(compression));

    const uint32_t bitDepth = engine.getSetting(card, kSettingBitDepth, 0, 0);
    answer.AddElement("BitDepth")->SetAttribute("Value", static_cast<int32_t>(bitDepth));

    const uint32_t container = engine.getSetting(card, kSettingContainer, 0, 0);
    element = answer.AddElement("EncodeContainer");
    element->SetAttribute("Value", static_cast<int32_t>(container));
    SetOptionalText(element, ContainerName(container));

    const uint32_t storage = engine.getStorageFree(card);
    answer.AddElement("StorageFree")->SetAttribute("megabytes", static_cast<int32_t>(storage));

    uint32_t variant = engine.getSetting(card, kSettingConnectorVariant, 0, 0);
    const uint32_t output = engine.getVideoOutput(card);
    element = answer.AddText("VideoOutput", ConnectorName(output, variant, true));
    element->SetAttribute("Value", static_cast<int32_t>(output));

    variant = engine.getSetting(card, kSettingConnectorVariant, 0, 0);
    const uint32_t input = engine.getVideoInput(card);
    element = answer.AddText("VideoInput", ConnectorName(input, variant, false));
    element->SetAttribute("Value", static_cast<int32_t>(input));

    return answer.Finish(bodyOut, lengthOut);
}

} // namespace kxr

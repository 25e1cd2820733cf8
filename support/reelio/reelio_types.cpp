#include "reelio_types.h"

#include "kxr/reelio.h"

#include <cstring>
#include <string>

namespace reelio {
namespace {

constexpr uint32_t kPicture = RL_CAN_READ | RL_DISCRETE | RL_VIDEO | RL_INFO;
constexpr uint32_t kMovie = RL_CAN_READ | RL_VIDEO | RL_AUDIO | RL_INFO | RL_CONTAINER;
constexpr uint32_t kSound = RL_CAN_READ | RL_AUDIO | RL_INFO;

} // namespace

const std::vector<FileTypeEntry>& FileTypes() {
    static const std::vector<FileTypeEntry> types = {
        {kRLTypeDPX, "DPX", "DPX image", "Digital picture exchange image, one frame per file",
         kPicture, "dpx_pipe"},
        {kRLTypeTIFF, "TIFF", "TIFF image", "Tagged image file, one frame per file", kPicture,
         "tiff_pipe"},
        {kRLTypePNG, "PNG", "PNG image", "Portable network graphics image, one frame per file",
         kPicture, "png_pipe"},
        {kRLTypeJPEG, "JPEG", "JPEG image", "JPEG compressed image, one frame per file", kPicture,
         "jpeg_pipe"},
        {kRLTypeBMP, "BMP", "BMP image", "Device-independent bitmap, one frame per file", kPicture,
         "bmp_pipe"},
        // Targa has no signature to probe: the general image demuxer reads it.
        {kRLTypeTGA, "TGA", "Targa image", "Targa image, one frame per file", kPicture, "image2"},
        {kRLTypeEXR, "EXR", "OpenEXR image", "High dynamic range OpenEXR image, one frame per file",
         kPicture, "exr_pipe"},
        {kRLTypeMOV, "MOV", "QuickTime movie",
         "QuickTime movie with video, sound and timecode tracks", kMovie, "mov"},
        {kRLTypeMP4, "MP4", "MPEG-4 movie", "MPEG-4 part 14 movie with video and sound tracks",
         kMovie, "mov"},
        {kRLTypeMXF, "MXF", "MXF movie", "Material exchange format movie with video and sound",
         kMovie, "mxf"},
        {kRLTypeAVI, "AVI", "AVI movie", "Audio video interleave movie", kMovie, "avi"},
        {kRLTypeMKV, "MKV", "Matroska movie", "Matroska movie with video and sound tracks", kMovie,
         "matroska"},
        {kRLTypeWAV, "WAV", "WAVE sound", "WAVE sound file, PCM or compressed", kSound, "wav"},
        {kRLTypeAIFF, "AIFF", "AIFF sound", "Audio interchange file format sound", kSound, "aiff"},
    };
    return types;
}

const std::vector<ExtensionEntry>& FileExtensions() {
    static const std::vector<ExtensionEntry> extensions = {
        {"dpx", kRLTypeDPX},   {"tif", kRLTypeTIFF},  {"tiff", kRLTypeTIFF}, {"png", kRLTypePNG},
        {"jpg", kRLTypeJPEG},  {"jpeg", kRLTypeJPEG}, {"jpe", kRLTypeJPEG},  {"jfif", kRLTypeJPEG},
        {"bmp", kRLTypeBMP},   {"dib", kRLTypeBMP},   {"tga", kRLTypeTGA},   {"targa", kRLTypeTGA},
        {"exr", kRLTypeEXR},   {"mov", kRLTypeMOV},   {"qt", kRLTypeMOV},    {"mp4", kRLTypeMP4},
        {"m4v", kRLTypeMP4},   {"mxf", kRLTypeMXF},   {"avi", kRLTypeAVI},   {"mkv", kRLTypeMKV},
        {"webm", kRLTypeMKV},  {"wav", kRLTypeWAV},   {"bwf", kRLTypeWAV},   {"aif", kRLTypeAIFF},
        {"aiff", kRLTypeAIFF}, {"aifc", kRLTypeAIFF},
    };
    return extensions;
}

namespace {

bool Starts(const uint8_t* head, std::size_t size, const void* magic, std::size_t n,
            std::size_t at = 0) {
    return size >= at + n && std::memcmp(head + at, magic, n) == 0;
}

uint32_t Le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// QuickTime atoms a movie may begin with; "ftyp" names the brand.
uint32_t MovieType(const uint8_t* head, std::size_t size) {
    if (size < 8) {
        return RL_UNKNOWN;
    }
    if (std::memcmp(head + 4, "ftyp", 4) == 0) {
        if (size < 12) {
            return kRLTypeMP4;
        }
        return std::memcmp(head + 8, "qt  ", 4) == 0 ? kRLTypeMOV : kRLTypeMP4;
    }
    static const char* const kLeadingAtoms[] = {"moov", "mdat", "wide", "free", "skip", "pnot"};
    for (const char* atom : kLeadingAtoms) {
        if (std::memcmp(head + 4, atom, 4) == 0) {
            return kRLTypeMOV;
        }
    }
    return RL_UNKNOWN;
}

} // namespace

const FileTypeEntry* FindFileType(uint32_t code) {
    for (const FileTypeEntry& entry : FileTypes()) {
        if (entry.code == code) {
            return &entry;
        }
    }
    return nullptr;
}

uint32_t TypeFromExtension(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot + 1 >= name.size() || name.size() - dot > 8) {
        return RL_UNKNOWN;
    }
    std::string extension(name.substr(dot + 1));
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    for (const ExtensionEntry& entry : FileExtensions()) {
        if (extension == entry.extension) {
            return entry.code;
        }
    }
    return RL_UNKNOWN;
}

uint32_t TypeFromSignature(const uint8_t* head, std::size_t size) {
    if (head == nullptr) {
        return RL_UNKNOWN;
    }
    if (Starts(head, size, "SDPX", 4) || Starts(head, size, "XPDS", 4)) {
        return kRLTypeDPX;
    }
    if (Starts(head, size, "II*\0", 4) || Starts(head, size, "MM\0*", 4)) {
        return kRLTypeTIFF;
    }
    if (Starts(head, size, "\x89PNG\r\n\x1a\n", 8)) {
        return kRLTypePNG;
    }
    if (Starts(head, size, "\xff\xd8\xff", 3)) {
        return kRLTypeJPEG;
    }
    if (Starts(head, size, "v/1\x01", 4)) {
        return kRLTypeEXR;
    }
    if (Starts(head, size, "\x1a\x45\xdf\xa3", 4)) {
        return kRLTypeMKV;
    }
    // The key of an MXF partition pack.
    if (Starts(head, size, "\x06\x0e\x2b\x34\x02\x05\x01\x01\x0d\x01\x02\x01\x01", 13)) {
        return kRLTypeMXF;
    }
    if ((Starts(head, size, "RIFF", 4) || Starts(head, size, "RF64", 4)) &&
        Starts(head, size, "WAVE", 4, 8)) {
        return kRLTypeWAV;
    }
    if (Starts(head, size, "RIFF", 4) && Starts(head, size, "AVI ", 4, 8)) {
        return kRLTypeAVI;
    }
    if (Starts(head, size, "FORM", 4) &&
        (Starts(head, size, "AIFF", 4, 8) || Starts(head, size, "AIFC", 4, 8))) {
        return kRLTypeAIFF;
    }
    // "BM" alone is too common in text; the reserved words and the size of
    // the info header confirm it.
    if (Starts(head, size, "BM", 2) && size >= 18 && Le32(head + 6) == 0) {
        switch (Le32(head + 14)) {
        case 12:
        case 40:
        case 52:
        case 56:
        case 64:
        case 108:
        case 124:
            return kRLTypeBMP;
        default:
            break;
        }
    }
    return MovieType(head, size);
}

uint32_t GuessFileType(std::string_view path, const uint8_t* head, std::size_t size) {
    const uint32_t bySignature = TypeFromSignature(head, size);
    if (bySignature != RL_UNKNOWN) {
        return bySignature;
    }
    const uint32_t byExtension = TypeFromExtension(path);
    if (byExtension == RL_UNKNOWN || head == nullptr || size < 16) {
        // Unreadable or (nearly) empty: the name is all there is to go on.
        return byExtension;
    }
    switch (byExtension) {
    case kRLTypeTGA: // no signature at the start
    case kRLTypeMOV: // old movies may begin with any atom
    case kRLTypeMP4:
    case kRLTypeMXF: // a run-in may come before the header
        return byExtension;
    default:
        return RL_UNKNOWN; // content that contradicts its name
    }
}

} // namespace reelio

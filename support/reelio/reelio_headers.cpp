#include "reelio_headers.h"

#include "reelio_timecode.h"

#include <cmath>
#include <cstring>
#include <string>

namespace reelio {
namespace {

constexpr uint32_t kUndefined32 = 0xFFFFFFFFu;

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t Le64(const uint8_t* p) {
    return Le32(p) | (static_cast<uint64_t>(Le32(p + 4)) << 32);
}

// Text of a fixed-size field: up to its first zero, never past its end.
std::string FieldText(const uint8_t* p, std::size_t n) {
    std::size_t length = 0;
    while (length < n && p[length] != 0) {
        ++length;
    }
    return std::string(reinterpret_cast<const char*>(p), length);
}

// Bytes per row, rounded up to whole 32-bit words.
uint32_t RowBytes(uint64_t width, uint32_t bits) {
    const uint64_t bytes = (width * bits + 31) / 32 * 4;
    return bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes);
}

// --- DPX ---------------------------------------------------------------

// Offsets of the fields we read. The film header begins at 1664, the
// television header at 1920.
enum DpxOffset : std::size_t {
    kDpxImageOffset = 4,
    kDpxIndustrySize = 28,
    kDpxCreationTime = 136,
    kDpxCreator = 160,
    kDpxProject = 260,
    kDpxCopyright = 460,
    kDpxOrientation = 768,
    kDpxPixelsPerLine = 772,
    kDpxLinesPerElement = 776,
    kDpxDescriptor = 800, // first image element
    kDpxBitSize = 803,
    kDpxPacking = 804,
    kDpxEncoding = 806,
    kDpxImageHeaderEnd = 852,
    kDpxInputDevice = 1556,
    kDpxInputSerial = 1588,
    kDpxFilmHeader = 1664,
    kDpxFilmManufacturer = 1664,
    kDpxFilmType = 1666,
    kDpxFramePosition = 1712,
    kDpxSequenceLength = 1716,
    kDpxFilmFrameRate = 1724,
    kDpxSlateInfo = 1764,
    kDpxTvHeader = 1920,
    kDpxTimeCode = 1920,
    kDpxUserBits = 1924,
    kDpxTvFrameRate = 1940,
    kDpxTvHeaderEnd = 2048
};

class DpxFields {
public:
    DpxFields(const uint8_t* data, std::size_t size, bool bigEndian)
        : data_(data), size_(size), bigEndian_(bigEndian) {}

    bool Has(std::size_t offset, std::size_t n) const { return offset + n <= size_; }
    uint8_t U8(std::size_t offset) const { return Has(offset, 1) ? data_[offset] : 0xFF; }
    uint16_t U16(std::size_t offset) const {
        if (!Has(offset, 2)) {
            return 0xFFFF;
        }
        const uint8_t* p = data_ + offset;
        return bigEndian_ ? static_cast<uint16_t>((p[0] << 8) | p[1]) : Le16(p);
    }
    uint32_t U32(std::size_t offset) const {
        if (!Has(offset, 4)) {
            return kUndefined32;
        }
        const uint8_t* p = data_ + offset;
        return bigEndian_ ? (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]
                          : Le32(p);
    }
    // A rate field; 0 when undefined (all bits set) or not a usable number.
    double R32(std::size_t offset) const {
        const uint32_t bits = U32(offset);
        float value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return std::isfinite(value) && value > 0.0f ? value : 0.0;
    }
    // An undefined text field is filled with 0xFF bytes.
    std::string Text(std::size_t offset, std::size_t n) const {
        if (!Has(offset, n) || data_[offset] == 0xFF) {
            return std::string();
        }
        return FieldText(data_ + offset, n);
    }

private:
    const uint8_t* data_;
    std::size_t size_;
    bool bigEndian_;
};

// Components of a pixel by the element's descriptor.
uint32_t DpxComponents(uint8_t descriptor) {
    switch (descriptor) {
    case 1: // R, G, B, A, luma, chroma, depth alone
    case 2:
    case 3:
    case 4:
    case 6:
    case 7:
    case 8:
        return 1;
    case 100: // CbYCrY 4:2:2
        return 2;
    case 51: // RGBA, ABGR
    case 52:
    case 103: // CbYCrA 4:4:4:4
        return 4;
    case 101: // CbYACrYA 4:2:2:4
    case 50:  // RGB
    case 102: // CbYCr 4:4:4
        return 3;
    default:
        if (descriptor >= 150 && descriptor <= 156) { // generic 2 to 8 components
            return descriptor - 148u;
        }
        return 3;
    }
}

// Bits a pixel takes in the file: 10-bit samples are filled three to a
// 32-bit word, 12-bit samples one to 16 bits, unless packed.
uint32_t DpxPixelBits(uint32_t components, uint8_t bitSize, uint16_t packing) {
    const bool filled = packing == 1 || packing == 2;
    if (bitSize == 10 && filled) {
        return (components * 32 + 2) / 3;
    }
    if (bitSize == 12 && filled) {
        return components * 16;
    }
    return components * bitSize;
}

// The television header keeps its timecode as eight BCD digits, hhmmssff,
// with the drop-frame flag in bit 6 of the frames byte.
bool DpxTimeCode(uint32_t bcd, uint32_t rate, uint32_t scale, StartTimeCode* out) {
    const uint32_t digits[8] = {(bcd >> 28) & 0x3, (bcd >> 24) & 0xF, (bcd >> 20) & 0x7,
                                (bcd >> 16) & 0xF, (bcd >> 12) & 0x7, (bcd >> 8) & 0xF,
                                (bcd >> 4) & 0x3,  bcd & 0xF};
    for (uint32_t digit : digits) {
        if (digit > 9) {
            return false;
        }
    }
    const bool drop = (bcd & 0x40) != 0;
    return TimeCodeFieldsToFrames(digits[0] * 10 + digits[1], digits[2] * 10 + digits[3],
                                  digits[4] * 10 + digits[5], digits[6] * 10 + digits[7], drop,
                                  rate, scale, out);
}

// A two-digit film code ("01"), or kUndefined32.
uint32_t DpxFilmCode(const DpxFields& f, std::size_t offset) {
    if (!f.Has(offset, 2)) {
        return kUndefined32;
    }
    const uint8_t tens = f.U8(offset);
    const uint8_t units = f.U8(offset + 1);
    if (tens < '0' || tens > '9' || units < '0' || units > '9') {
        return kUndefined32;
    }
    return (tens - '0') * 10u + (units - '0');
}

} // namespace

bool ReadDpxHeader(const uint8_t* data, std::size_t size, MediaDescription& out) {
    if (data == nullptr || size < kDpxImageHeaderEnd) {
        return false;
    }
    bool bigEndian = false;
    if (std::memcmp(data, "SDPX", 4) == 0) {
        bigEndian = true;
    } else if (std::memcmp(data, "XPDS", 4) != 0) {
        return false;
    }
    const DpxFields f(data, size, bigEndian);
    const uint32_t width = f.U32(kDpxPixelsPerLine);
    const uint32_t height = f.U32(kDpxLinesPerElement);
    if (width == 0 || height == 0 || width > 0x7FFFFFF || height > 0x7FFFFFF) {
        return false;
    }

    // The industry headers are optional: present when their size says so,
    // or, when the size is undefined, when the picture starts after them.
    const uint32_t industrySize = f.U32(kDpxIndustrySize);
    const bool industry = industrySize == kUndefined32
                              ? f.U32(kDpxImageOffset) >= kDpxTvHeaderEnd
                              : industrySize >= kDpxTvHeaderEnd - kDpxFilmHeader;
    const bool film = industry && f.Has(kDpxFilmHeader, kDpxTvHeader - kDpxFilmHeader);
    const bool tv = industry && f.Has(kDpxTvHeader, kDpxTvHeaderEnd - kDpxTvHeader);

    StreamDescription stream;
    stream.kind = StreamKind::kVideo;
    PictureFormat picture;
    picture.width = static_cast<int32_t>(width);
    // Left-to-right, top-to-bottom rows (orientations 0 and 1) are top-down.
    const uint16_t orientation = f.U16(kDpxOrientation);
    picture.height =
        orientation <= 1 ? -static_cast<int32_t>(height) : static_cast<int32_t>(height);
    uint8_t bitSize = f.U8(kDpxBitSize);
    if (bitSize == 0 || bitSize > 64) {
        bitSize = 10;
    }
    const uint32_t bits =
        DpxPixelBits(DpxComponents(f.U8(kDpxDescriptor)), bitSize, f.U16(kDpxPacking));
    picture.bitCount = static_cast<uint16_t>(bits);
    picture.compression = f.U16(kDpxEncoding) == 1 ? FourCC("dpxr") : FourCC("dpx");
    picture.pitch = RowBytes(width, bits);
    const uint64_t image = static_cast<uint64_t>(picture.pitch) * height;
    picture.sizeImage = image > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(image);
    stream.picture = picture;
    stream.length = 1;

    double fps = tv ? f.R32(kDpxTvFrameRate) : 0.0;
    if (fps == 0.0 && film) {
        fps = f.R32(kDpxFilmFrameRate);
    }
    uint32_t rate = 0;
    uint32_t scale = 0;
    if (RateFromFloat(fps, &rate, &scale)) {
        stream.rate = rate;
        stream.scale = scale;
    }
    out.streams.push_back(stream);

    if (tv) {
        const uint32_t bcd = f.U32(kDpxTimeCode);
        StartTimeCode start;
        // Without a frame rate the count is made at 24, the film rate, and the
        // type says so, so count and type still read back as the same text.
        if (bcd != kUndefined32 && DpxTimeCode(bcd, scale ? rate : 24, scale ? scale : 1, &start)) {
            out.SetNumber(kRLTimeCode, start.frames);
            if (start.type != 0) {
                out.SetNumber(kRLTimeCodeType, start.type);
            }
        }
        const uint32_t userBits = f.U32(kDpxUserBits);
        if (userBits != kUndefined32) {
            out.SetNumber(kRLUserBits, userBits);
        }
    }
    if (film) {
        const uint32_t position = f.U32(kDpxFramePosition);
        if (position != kUndefined32) {
            out.SetNumber(kRLSequenceNumber, position);
        }
        const uint32_t sequenceLength = f.U32(kDpxSequenceLength);
        if (sequenceLength != kUndefined32 && sequenceLength != 0) {
            out.SetNumber(kRLTotalLength, sequenceLength);
        }
        const uint32_t manufacturer = DpxFilmCode(f, kDpxFilmManufacturer);
        if (manufacturer != kUndefined32) {
            out.SetNumber(18, manufacturer); // FilmManufacturerCode
        }
        const uint32_t filmType = DpxFilmCode(f, kDpxFilmType);
        if (filmType != kUndefined32) {
            out.SetNumber(19, filmType); // FilmTypeCode
        }
        out.SetText(69, f.Text(kDpxSlateInfo, 100)); // SlateInfo
    }
    out.SetText(kRLMetaSoftware, f.Text(kDpxCreator, 100));
    out.SetText(20, f.Text(kDpxProject, 200)); // Project
    out.SetText(kRLMetaCopyright, f.Text(kDpxCopyright, 200));
    out.SetText(29, f.Text(kDpxCreationTime, 24)); // CreationData
    out.SetText(63, f.Text(kDpxInputDevice, 32));  // InputDevice
    out.SetText(65, f.Text(kDpxInputSerial, 32));  // DeviceSerialNum
    out.SetNumber(kRLTotalStreams, 1);
    return true;
}

// --- WAVE --------------------------------------------------------------

namespace {

constexpr uint16_t kWaveFormatExtensible = 0xFFFE;

struct InfoTag {
    const char* id;
    int slot;
};

const InfoTag kInfoTags[] = {
    {"INAM", kRLMetaTitle},
    {"IART", kRLMetaArtist},
    {"ICMT", kRLMetaComments},
    {"ICOP", kRLMetaCopyright},
    {"ISFT", kRLMetaSoftware},
    {"IGNR", kRLMetaGenre},
    {"ICRD", 29},
    {"IPRD", kRLMetaAlbum},
    {"ITRK", kRLMetaTrack},
    {"IPRT", kRLMetaTrack},
    {"ISBJ", 10},
    {"IKEY", 12},
    {"ISRC", 19},
    {"ILNG", kRLMetaLanguage},
    {"IENG", kRLMetaEncodedBy},
};

} // namespace

void WavReader::ReadFormat(const uint8_t* p, std::size_t n) {
    if (n < 16) {
        return;
    }
    SoundFormat format;
    format.audioType = Le16(p);
    format.channels = Le16(p + 2);
    format.frequency = Le32(p + 4);
    format.bytesPerSecond = Le32(p + 8);
    format.blockAlign = Le16(p + 12);
    format.bits = Le16(p + 14);
    if (format.audioType == kWaveFormatExtensible && n >= 40) {
        // The sub-format's first two bytes are the plain format tag.
        format.audioType = Le16(p + 24);
    }
    if (format.channels == 0 || format.frequency == 0) {
        return;
    }
    if (format.bits == 0) {
        format.bits = 16; // compressed sound without a sample size
    }
    format_ = format;
    haveFormat_ = true;
}

void WavReader::ReadInfoList(const uint8_t* p, std::size_t n) {
    if (n < 4 || std::memcmp(p, "INFO", 4) != 0) {
        return;
    }
    std::size_t pos = 4;
    while (pos + 8 <= n) {
        const uint32_t length = Le32(p + pos + 4);
        const std::size_t start = pos + 8;
        const std::size_t take = length < n - start ? length : n - start;
        for (const InfoTag& tag : kInfoTags) {
            if (std::memcmp(p + pos, tag.id, 4) == 0) {
                texts_.SetText(tag.slot, FieldText(p + start, take));
            }
        }
        if (length >= n - start) {
            break;
        }
        pos = start + length + (length & 1);
    }
}

void WavReader::ReadBroadcastExtension(const uint8_t* p, std::size_t n) {
    if (n >= 256) {
        texts_.SetText(kRLMetaDescription, FieldText(p, 256));
    }
    if (n >= 288) {
        texts_.SetText(kRLMetaAuthor, FieldText(p + 256, 32)); // the originator
    }
    if (n >= 338) {
        std::string when = FieldText(p + 320, 10);
        const std::string time = FieldText(p + 330, 8);
        if (!time.empty()) {
            when += when.empty() ? time : " " + time;
        }
        texts_.SetText(29, when); // CreationData
    }
}

uint64_t WavReader::Feed(const uint8_t* data, std::size_t size, uint64_t base) {
    if (data == nullptr) {
        return 0;
    }
    std::size_t pos = 0;
    if (base == 0) {
        if (size < 12 || std::memcmp(data + 8, "WAVE", 4) != 0) {
            return 0;
        }
        if (std::memcmp(data, "RF64", 4) == 0) {
            rf64_ = true;
        } else if (std::memcmp(data, "RIFF", 4) != 0) {
            return 0;
        }
        isWave_ = true;
        pos = 12;
    }
    if (!isWave_) {
        return 0;
    }
    while (pos + 8 <= size) {
        const uint8_t* chunk = data + pos;
        const uint64_t length = Le32(chunk + 4);
        const uint64_t bodyAt = base + pos + 8;
        const std::size_t inWindow = size - (pos + 8);
        const std::size_t available =
            length < inWindow ? static_cast<std::size_t>(length) : inWindow;
        const uint8_t* body = chunk + 8;
        uint64_t bodyLength = length;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            ReadFormat(body, available);
        } else if (std::memcmp(chunk, "ds64", 4) == 0 && available >= 16) {
            ds64DataSize_ = Le64(body + 8);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (rf64_ && length == 0xFFFFFFFFu) {
                bodyLength = ds64DataSize_;
            }
            // A cut-off file holds less sound than its header promises.
            const uint64_t present = fileSize_ > bodyAt ? fileSize_ - bodyAt : 0;
            dataSize_ = bodyLength < present ? bodyLength : present;
            haveData_ = true;
        } else if (std::memcmp(chunk, "LIST", 4) == 0) {
            ReadInfoList(body, available);
        } else if (std::memcmp(chunk, "bext", 4) == 0) {
            ReadBroadcastExtension(body, available);
        }
        const uint64_t next = bodyAt + bodyLength + (bodyLength & 1);
        if (next + 8 > fileSize_ || next < bodyAt) {
            return 0;
        }
        if (next + 8 > base + size) {
            return next; // the next chunk header lies beyond this window
        }
        pos = static_cast<std::size_t>(next - base);
    }
    return 0;
}

bool WavReader::Finish(MediaDescription& out) const {
    if (!isWave_ || !haveFormat_) {
        return false;
    }
    StreamDescription stream;
    stream.kind = StreamKind::kAudio;
    stream.sound = format_;
    stream.rate = format_.frequency;
    stream.scale = 1;
    stream.sampleSize = format_.blockAlign;
    if (haveData_ && format_.blockAlign != 0) {
        const uint64_t samples = dataSize_ / format_.blockAlign;
        stream.length = samples > 0xFFFFFFFEu ? 0xFFFFFFFEu : static_cast<uint32_t>(samples);
    }
    out.streams.push_back(stream);
    for (int slot = 1; slot <= kRLMetaTextSlots; ++slot) {
        out.SetText(slot, texts_.texts[static_cast<std::size_t>(slot - 1)]);
    }
    out.SetNumber(kRLTotalStreams, 1);
    return true;
}

} // namespace reelio

#include "files/media_description.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "access/containment.h"
#include "answer/timecode_names.h"
#include "files/file_info.h"
#include "kxr/rvutil.h"
#include "kxr/tempex.h"
#include "platform/kxr_path.h"

namespace kxr {

namespace {

// Metadata text slots 1 to 99 by element name; slots without a name are
// never written.
constexpr const char* kTextSlotNames[kRLMetaTextSlots] = {"FileName",
                                                          "NativeLocator",
                                                          "UniversalLocator",
                                                          "TCP-IPAddress",
                                                          "SourceLocator",
                                                          "ChannelIdentifier",
                                                          "ChannelName",
                                                          "ChannelDescription",
                                                          "Title",
                                                          "Subject",
                                                          "Category",
                                                          "Keywords",
                                                          "Ratings",
                                                          "Comments",
                                                          "DoNotUse",
                                                          "Owner",
                                                          "Editor",
                                                          "Supplier",
                                                          "Source",
                                                          "Project",
                                                          "Status",
                                                          "Author",
                                                          "RevisionNumber",
                                                          "Produced",
                                                          "Album",
                                                          "Artist",
                                                          "Composer",
                                                          "Copyright",
                                                          "CreationData",
                                                          "Description",
                                                          "Director",
                                                          "Disclaimer",
                                                          "EncodedBy",
                                                          "FullName",
                                                          "Genre",
                                                          "HostComputer",
                                                          "Information",
                                                          "Make",
                                                          "Model",
                                                          "OriginalArtist",
                                                          "OriginalFormat",
                                                          "Performers",
                                                          "Producer",
                                                          "Product",
                                                          "Software",
                                                          "SpecialPlaybackRequirements",
                                                          "Track",
                                                          "Warning",
                                                          "URL",
                                                          "EditData1",
                                                          "EditData2",
                                                          "EditData3",
                                                          "EditData4",
                                                          "EditData5",
                                                          "EditData6",
                                                          "EditData7",
                                                          "EditData8",
                                                          "EditData9",
                                                          "VersionString",
                                                          "Manufacturer",
                                                          "Language",
                                                          "Format",
                                                          "InputDevice",
                                                          "DeviceModelNum",
                                                          "DeviceSerialNum",
                                                          "Reel",
                                                          "Shot",
                                                          "Take",
                                                          "SlateInfo",
                                                          "FrameAttribute",
                                                          "Episode",
                                                          "Scene",
                                                          "DailyRoll",
                                                          "CamRoll",
                                                          "SoundRoll",
                                                          "LabRoll",
                                                          "KeyNumberPrefix",
                                                          "InkNumberPrefix",
                                                          "PictureIcon",
                                                          "ProxyFile",
                                                          nullptr,
                                                          nullptr,
                                                          "UMID",
                                                          nullptr,
                                                          "XML_XMP",
                                                          "XML_MediaInfo",
                                                          "NotUsed_87",
                                                          "NotUsed_88",
                                                          "NotUsed_89",
                                                          "NotUsed_90",
                                                          "NotUsed_91",
                                                          "NotUsed_92",
                                                          "NotUsed_93",
                                                          "NotUsed_94",
                                                          "NotUsed_95",
                                                          "NotUsed_96",
                                                          "NotUsed_97",
                                                          "NotUsed_98",
                                                          "NotUsed_99"};

enum class NumberKind { Present, TimeCodeType };

struct NumberField {
    unsigned index; // into RLMetadata::numbers, offset 796 + 4 * index
    const char* name;
    NumberKind kind;
};

// The numeric fields from the poster frame on, in the order written.
constexpr NumberField kNumberFields[] = {
    {5, "PosterFrame", NumberKind::Present},
    {6, "A-Frame", NumberKind::Present},
    {7, "AspectRatio", NumberKind::Present},
    {8, "OriginalRate", NumberKind::Present},
    {9, "OriginalScale", NumberKind::Present},
    {10, "TotalConversions", NumberKind::Present},
    {11, "VersionNumber", NumberKind::Present},
    {12, "FileSize", NumberKind::Present},
    {13, "FileDate", NumberKind::Present},
    {14, "FileTime", NumberKind::Present},
    {15, "SequenceNumber", NumberKind::Present},
    {16, "TotalStreams", NumberKind::Present},
    {17, "TotalLength", NumberKind::Present},
    {18, "FilmManufacturerCode", NumberKind::Present},
    {19, "FilmTypeCode", NumberKind::Present},
    {20, "WhitePoint", NumberKind::Present},
    {21, "BlackPoint", NumberKind::Present},
    {22, "BlackGain", NumberKind::Present},
    {23, "BreakPoint", NumberKind::Present},
    {24, "Gamma1000", NumberKind::Present},
    {25, "TagNumber", NumberKind::Present},
    {26, "Flags", NumberKind::Present},
    {27, "TimeCodeType", NumberKind::TimeCodeType},
    {28, "LTCTimeCodeType", NumberKind::TimeCodeType},
    {29, "VITCTimeCodeType", NumberKind::TimeCodeType},
    {30, "ProdDate", NumberKind::Present},
    {31, "UniqueID", NumberKind::Present},
    {34, "NorthSouthEastWest", NumberKind::Present},
    {35, "Latitude", NumberKind::Present},
    {36, "Longitude", NumberKind::Present},
    {37, "Exposure", NumberKind::Present},
    {38, "RedGain", NumberKind::Present},
    {39, "BlueGain", NumberKind::Present},
    {40, "WhiteBalance", NumberKind::Present},
    {41, "Matrix", NumberKind::Present},
    {42, "ISO", NumberKind::Present},
};

constexpr uint32_t kDefaultTcType = 2;
constexpr uint32_t kFourCharCodeFloor = 0x20000000;

int32_t Signed(uint32_t value) {
    return static_cast<int32_t>(value);
}

std::string Hex32(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

void AppendSound(TiXmlElement* parent, const RLSoundInfo& sound) {
    AppendValueElement(parent, "AudioType", Signed(sound.audioType));
    AppendValueElement(parent, "AudioChannels", Signed(sound.audioChannels));
    AppendValueElement(parent, "AudioFrequency", Signed(sound.audioFrequency));
    AppendValueElement(parent, "AudioBits", Signed(sound.audioBits));
}

void AppendStream(TiXmlElement* parent, const RLStreamInfo& stream) {
    AppendValueElement(parent, "Width", stream.width);
    AppendValueElement(parent, "Height", std::abs(stream.height));
    AppendValueElement(parent, "Planes", Signed(stream.planes));
    AppendValueElement(parent, "BitCount", Signed(stream.bitCount));

    const uint32_t code = stream.compression;
    std::string codeText;
    if (code < kFourCharCodeFloor) {
        codeText = std::to_string(code);
    } else {
        char text[8];
        std::snprintf(text, sizeof text, "%c%c%c%c", static_cast<char>(code >> 24),
                      static_cast<char>(code >> 16), static_cast<char>(code >> 8),
                      static_cast<char>(code));
        codeText = text;
    }
    AppendTextElement(parent, "Compression", codeText)
        ->SetAttribute("Value", std::to_string(Signed(code)).c_str());
    AppendValueElement(parent, "SizeImage", Signed(stream.sizeImage));

    const uint32_t* words = stream.compressionDetail;
    char detail[64];
    std::snprintf(detail, sizeof detail, "0x%08X 0x%08X 0x%08X 0x%08X", words[0], words[1],
                  words[2], words[3]);
    TiXmlElement* second = AppendTextElement(parent, "Compression", detail);
    const char* names[] = {"Value", "Value1", "Value2", "Value3"};
    for (int i = 0; i < 4; ++i) {
        second->SetAttribute(names[i], Signed(words[i]));
    }

    AppendValueElement(parent, "Scale", Signed(stream.scale));
    AppendValueElement(parent, "Rate", Signed(stream.rate));
    AppendValueElement(parent, "Start", Signed(stream.start));
    AppendValueElement(parent, "Length", Signed(stream.length));
    AppendValueElement(parent, "SuggestedBufferSize", Signed(stream.suggestedBufferSize));
    AppendValueElement(parent, "Quality", Signed(stream.quality));
    AppendValueElement(parent, "SampleSize", Signed(stream.sampleSize));
    AppendValueElement(parent, "Pitch", Signed(stream.pitch));
    AppendValueElement(parent, "FileType", Signed(stream.fileType));
}

// The directory two levels above the file's own, or the root.
std::string SoundBase(const char* decodedPath) {
    char drive[RV_MAX_DRIVE] = {};
    char dir[RV_MAX_DIR] = {};
    rvOSSplitPath(decodedPath, drive, dir, nullptr, nullptr);
    std::string directory = dir;
    for (int level = 0; level < 2; ++level) {
        if (directory.size() < 2) {
            break;
        }
        const size_t cut = directory.find_last_of("\\/", directory.size() - 2);
        if (cut != std::string::npos) {
            directory.resize(cut + 1);
        }
    }
    char rebuilt[RV_MAX_PATH] = {};
    rvOSMakePath(rebuilt, drive, directory.c_str(), nullptr, nullptr);
    return rebuilt;
}

// A companion sound file is looked for in the sound directory under the
// media file's own name with the extension ".wav". The sound directory lies
// beside the media file's directory, so it may be outside the roots, where
// it counts as missing.
void AppendCompanionSound(TiXmlElement* parent, const std::string& soundDir,
                          const char* decodedPath) {
    char name[RV_MAX_FNAME] = {};
    rvOSSplitPath(decodedPath, nullptr, nullptr, name, nullptr);
    const std::string companion = soundDir + name + ".wav";
    if (rvOSFileExists(companion.c_str()) == 0 || !access::IsReachable(companion)) {
        return;
    }
    RLHANDLE handle = rlOpen(companion.c_str(), RV_GENERIC_READ, 1, nullptr, 3, 128, nullptr);
    if (handle == nullptr) {
        return;
    }
    RLChannelCounts counts{};
    rlChannels(&handle, 0, &counts, 0);
    RLSoundInfo sound{};
    rlGetFileInfo(&handle, RL_UNKNOWN, nullptr, nullptr, &sound, nullptr);
    if (sound.audioChannels != 0) {
        AppendSound(parent, sound);
    }
    rlClose(&handle);
}

void AppendSoundDirectory(TiXmlElement* parent, const char* decodedPath, const RLSoundInfo& sound) {
    const std::string base = SoundBase(decodedPath);
    for (const char* name : {"Ton", "ton", "TON"}) {
        const std::string soundDir = base + name + platform::kPathSeparator;
        if (rvOSFileExists(soundDir.c_str()) != 0 && access::IsReachable(soundDir)) {
            AppendCompanionSound(parent, soundDir, decodedPath);
            return;
        }
    }
    AppendSound(parent, sound);
}

// The first of the three type fields that has a name, else non-drop; the
// choice is stored back into the first field. The name buffer is shared and
// keeps what the last TcTypeName call left in it.
uint32_t ChooseTcType(CMyHttpClient* client, RLMetadata* metadata, const unsigned (&order)[3],
                      char* name) {
    for (unsigned index : order) {
        if (TcTypeName(client, metadata->numbers[index], name) == 1) {
            metadata->numbers[order[0]] = metadata->numbers[index];
            return metadata->numbers[index];
        }
    }
    TcTypeName(client, kDefaultTcType, name);
    metadata->numbers[order[0]] = kDefaultTcType;
    return kDefaultTcType;
}

void AppendTimeCode(CMyHttpClient* client, TiXmlElement* parent, const char* element,
                    uint32_t frames, uint32_t type, const char* name) {
    char text[TEMPEX_TEXT_SIZE] = {};
    TcFramesToText(Signed(frames), type | kTcWriteFlags, text);
    (void)client;
    TiXmlElement* node = AppendTextElement(parent, element, text);
    node->SetAttribute("Value", std::to_string(Signed(frames)).c_str());
    node->SetAttribute("TcType", name);
}

void AppendTimeCodes(CMyHttpClient* client, TiXmlElement* parent, RLMetadata* metadata,
                     char* name) {
    uint32_t* n = metadata->numbers;
    std::memset(name, 0, kTcTypeNameRoom);
    if (n[kRLTimeCode] != RL_UNKNOWN) {
        const unsigned order[3] = {kRLTimeCodeType, kRLLTCTimeCodeType, kRLVITCTimeCodeType};
        const uint32_t type = ChooseTcType(client, metadata, order, name);
        AppendTimeCode(client, parent, "TimeCode", n[kRLTimeCode], type, name);
    }
    AppendTextElement(parent, "UserBits", Hex32(n[kRLUserBits]))
        ->SetAttribute("Value", std::to_string(Signed(n[kRLUserBits])).c_str());
    if (n[kRLVITCTimeCode] != RL_UNKNOWN) {
        const unsigned order[3] = {kRLVITCTimeCodeType, kRLLTCTimeCodeType, kRLTimeCodeType};
        const uint32_t type = ChooseTcType(client, metadata, order, name);
        AppendTimeCode(client, parent, "VITCTimeCode", n[kRLVITCTimeCode], type, name);
    }
    AppendTextElement(parent, "VITCUserBits", Hex32(n[kRLVITCUserBits]))
        ->SetAttribute("Value", std::to_string(Signed(n[kRLVITCUserBits])).c_str());
}

} // namespace

void PresetMediaRecords(RLPictureInfo* picture, RLStreamInfo* stream, RLSoundInfo* sound,
                        RLMetadata* metadata) {
    std::memset(picture, 0, sizeof *picture);
    std::memset(stream, 0, sizeof *stream);
    std::memset(sound, 0, sizeof *sound);
    std::memset(metadata, 0, sizeof *metadata);
    for (uint32_t& number : metadata->numbers) {
        number = RL_UNKNOWN;
    }
    metadata->numbers[kRLTimeCode] = 0;
    metadata->numbers[kRLVITCTimeCode] = 0;
    metadata->numbers[kRLPosterFrame] = 0;
    metadata->numbers[kRLAFrame] = 0;
    metadata->reserved968 = 0xFFFFFFFFu;
    std::memset(metadata->reserved972, 0xFF, sizeof metadata->reserved972);
    metadata->reserved992 = 0x7FFFFFFFu;
    metadata->reserved996 = 0;
}

void AppendMediaRecords(CMyHttpClient* client, const char* decodedPath, const RLStreamInfo& stream,
                        const RLSoundInfo& sound, RLMetadata* metadata, TiXmlElement* parent) {
    TiXmlComment* comment = new TiXmlComment();
    comment->SetValue(" Extended file info for audio video files ");
    parent->LinkEndChild(comment);

    AppendStream(parent, stream);
    if (sound.audioChannels != 0) {
        AppendSound(parent, sound);
    }
    uint32_t& totalLength = metadata->numbers[kRLTotalLength];
    if (totalLength == 0 || totalLength == RL_UNKNOWN) {
        totalLength = stream.length;
    } else {
        AppendSoundDirectory(parent, decodedPath, sound);
    }

    for (int slot = 0; slot < kRLMetaTextSlots; ++slot) {
        const char* text = metadata->texts[slot];
        if (kTextSlotNames[slot] != nullptr && text != nullptr && text[0] != '\0') {
            AppendTextElement(parent, kTextSlotNames[slot], text);
        }
    }

    char name[kTcTypeNameRoom] = {};
    AppendTimeCodes(client, parent, metadata, name);

    for (const NumberField& field : kNumberFields) {
        const uint32_t value = metadata->numbers[field.index];
        if (field.kind == NumberKind::TimeCodeType) {
            if (TcTypeName(client, value, name) == 1) {
                AppendTextElement(parent, field.name, name)
                    ->SetAttribute("Value", std::to_string(Signed(value)).c_str());
            }
        } else if (value != RL_UNKNOWN) {
            AppendValueElement(parent, field.name, Signed(value));
        }
    }
}

int32_t AppendMediaDescription(CMyHttpClient* client, const char* decodedPath,
                               TiXmlElement* parent) {
    RLHANDLE handle = rlOpen(decodedPath, RV_GENERIC_READ, 1, nullptr, 3, 128, nullptr);
    if (handle == nullptr) {
        return 0;
    }
    RLPictureInfo picture;
    RLStreamInfo stream;
    RLSoundInfo sound;
    RLMetadata metadata;
    PresetMediaRecords(&picture, &stream, &sound, &metadata);
    rlGetFileInfo(&handle, RL_UNKNOWN, &picture, &stream, &sound, &metadata);
    AppendMediaRecords(client, decodedPath, stream, sound, &metadata, parent);
    rlClose(&handle);
    return handle != nullptr ? 1 : 0;
}

} // namespace kxr

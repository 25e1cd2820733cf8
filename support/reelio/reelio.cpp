// The exported media-file operations: type guess and table, and the opened
// file's records.
#include "kxr/reelio.h"

#include "reelio_headers.h"
#include "reelio_media.h"
#include "reelio_open.h"
#include "reelio_source.h"
#include "reelio_types.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

using reelio::MediaDescription;
using reelio::StreamDescription;
using reelio::StreamKind;

struct OpenFile {
    MediaDescription media;
};

// Live handles, so a stale or foreign handle is refused rather than followed.
std::mutex gHandlesLock;
std::unordered_set<OpenFile*> gHandles;

OpenFile* Lookup(RLHANDLE* handle) {
    if (handle == nullptr || *handle == nullptr) {
        return nullptr;
    }
    OpenFile* file = static_cast<OpenFile*>(*handle);
    return gHandles.count(file) != 0 ? file : nullptr;
}

void CopyBounded(char* target, std::size_t size, const char* text) {
    if (target == nullptr) {
        return;
    }
    std::strncpy(target, text, size - 1);
    target[size - 1] = '\0';
}

bool ReadWave(reelio::SourceFile& file, MediaDescription& out) {
    reelio::WavReader reader(file.Size());
    std::vector<uint8_t> window(reelio::WavReader::kWindowBytes);
    uint64_t at = 0;
    // A handful of windows reach the chunks behind the sound data.
    for (int i = 0; i < 8 && (i == 0 || at != 0); ++i) {
        const std::size_t n = file.ReadAt(at, window.data(), window.size());
        at = reader.Feed(window.data(), n, at);
    }
    return reader.Finish(out);
}

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void FillStream(const StreamDescription& s, uint32_t fileType, RLStreamInfo* info) {
    if (s.picture) {
        info->headerSize = 40; // the size of a bitmap info header
        info->width = s.picture->width;
        info->height = s.picture->height;
        info->planes = 1;
        info->bitCount = s.picture->bitCount;
        info->compression = s.picture->compression;
        info->sizeImage = s.picture->sizeImage;
        info->pitch = s.picture->pitch;
    }
    switch (s.kind) {
    case StreamKind::kVideo:
        info->streamType = reelio::FourCC("vids");
        break;
    case StreamKind::kAudio:
        info->streamType = reelio::FourCC("auds");
        break;
    case StreamKind::kData:
        break;
    }
    if (s.scale != 0) {
        info->rate = s.rate;
        info->scale = s.scale;
    }
    info->start = s.start;
    if (s.length) {
        info->length = *s.length;
    }
    if (s.sampleSize != 0) {
        info->sampleSize = s.sampleSize;
    }
    info->fileType = fileType;
}

void FillSound(const reelio::SoundFormat& sound, RLSoundInfo* info) {
    info->audioType = sound.audioType;
    info->audioChannels = sound.channels;
    info->audioFrequency = sound.frequency;
    info->bytesPerSecond = sound.bytesPerSecond;
    info->blockAlign = sound.blockAlign;
    info->audioBits = sound.bits;
}

void FillMetadata(const MediaDescription& media, RLMetadata* metadata) {
    for (std::size_t i = 0; i < media.texts.size(); ++i) {
        if (!media.texts[i].empty()) {
            metadata->texts[i] = media.texts[i].c_str();
        }
    }
    for (std::size_t i = 0; i < media.numbers.size(); ++i) {
        if (media.numbers[i]) {
            metadata->numbers[i] = *media.numbers[i];
        }
    }
}

} // namespace

extern "C" {

uint32_t rlGuessFileType(const char* path, uint32_t) {
    if (path == nullptr || *path == '\0') {
        return RL_UNKNOWN;
    }
    try {
        reelio::SourceFile file(path);
        if (!file.IsOpen()) {
            return reelio::GuessFileType(path, nullptr, 0);
        }
        uint8_t head[reelio::kGuessBytes];
        return reelio::GuessFileType(path, head, file.ReadAt(0, head, sizeof head));
    } catch (...) {
        return RL_UNKNOWN;
    }
}

uint32_t rlGetFileTypeInfo(uint32_t type, char* nameOut, char* shortOut, char* longOut,
                           uint32_t* flagsOut, uint32_t* valueOut) {
    const reelio::FileTypeEntry* entry = reelio::FindFileType(type);
    if (entry == nullptr) {
        return RL_UNKNOWN;
    }
    CopyBounded(nameOut, RL_SHORT_DESCRIPTION_SIZE, entry->name);
    CopyBounded(shortOut, RL_SHORT_DESCRIPTION_SIZE, entry->shortDescription);
    // Some callers pass 255 bytes for the long description.
    CopyBounded(longOut, RL_LONG_DESCRIPTION_SIZE - 1, entry->longDescription);
    if (flagsOut != nullptr) {
        *flagsOut = entry->flags;
    }
    if (valueOut != nullptr) {
        *valueOut = entry->code;
    }
    return 0;
}

RLHANDLE rlOpen(const char* path, uint32_t, uint32_t, void*, uint32_t, uint32_t, void*) {
    if (path == nullptr || *path == '\0') {
        return nullptr;
    }
    try {
        reelio::SourceFile file(path);
        if (!file.IsOpen()) {
            return nullptr;
        }
        const uint64_t fileSize = file.Size();
        std::vector<uint8_t> head(reelio::kDpxHeaderBytes);
        head.resize(file.ReadAt(0, head.data(), head.size()));

        const uint32_t bySignature = reelio::TypeFromSignature(head.data(), head.size());
        const uint32_t type = reelio::GuessFileType(path, head.data(), head.size());
        auto opened = std::make_unique<OpenFile>();
        MediaDescription& media = opened->media;
        bool ok = false;
        // DPX and WAVE headers are read here: the DPX timecode and rate are
        // not otherwise reported, and a WAVE header is exact and cheap.
        if (bySignature == kRLTypeDPX) {
            ok = reelio::ReadDpxHeader(head.data(), head.size(), media);
        } else if (bySignature == kRLTypeWAV) {
            ok = ReadWave(file, media);
        }
        if (ok) {
            media.fileType = bySignature;
        } else {
            media = MediaDescription();
            ok = reelio::OpenWithMediaLibrary(path, file, type, media);
        }
        if (!ok) {
            return nullptr;
        }

        media.SetText(kRLMetaFileName, FileNameOf(path));
        if (const reelio::FileTypeEntry* entry = reelio::FindFileType(media.fileType)) {
            media.SetText(kRLMetaFormat, entry->shortDescription);
        }
        media.SetNumber(kRLFileSize,
                        fileSize > 0xFFFFFFFEu ? 0xFFFFFFFEu : static_cast<uint32_t>(fileSize));
        // The caller presets the timecodes to 0; a file without one says so.
        if (!media.numbers[kRLTimeCode]) {
            media.SetNumber(kRLTimeCode, RL_UNKNOWN);
        }
        if (!media.numbers[kRLVITCTimeCode]) {
            media.SetNumber(kRLVITCTimeCode, RL_UNKNOWN);
        }

        std::lock_guard<std::mutex> lock(gHandlesLock);
        OpenFile* handle = opened.release();
        gHandles.insert(handle);
        return handle;
    } catch (...) {
        return nullptr;
    }
}

int32_t rlGetFileInfo(RLHANDLE* handle, uint32_t stream, RLPictureInfo*, RLStreamInfo* streamInfo,
                      RLSoundInfo* sound, RLMetadata* metadata) {
    std::lock_guard<std::mutex> lock(gHandlesLock);
    const OpenFile* file = Lookup(handle);
    if (file == nullptr) {
        return -1;
    }
    const MediaDescription& media = file->media;
    const StreamDescription* chosen = nullptr;
    const StreamDescription* audio = nullptr;
    if (stream == RL_UNKNOWN) {
        chosen = media.FirstOf(StreamKind::kVideo);
        audio = media.FirstOf(StreamKind::kAudio);
        if (chosen == nullptr) {
            chosen = audio;
        }
    } else {
        if (stream >= media.streams.size()) {
            return -1;
        }
        chosen = &media.streams[stream];
        if (chosen->kind == StreamKind::kAudio) {
            audio = chosen;
        }
    }
    if (streamInfo != nullptr && chosen != nullptr) {
        FillStream(*chosen, media.fileType, streamInfo);
    }
    if (sound != nullptr && audio != nullptr && audio->sound) {
        FillSound(*audio->sound, sound);
    }
    if (metadata != nullptr) {
        FillMetadata(media, metadata);
    }
    return 0;
}

int32_t rlChannels(RLHANDLE* handle, uint32_t, RLChannelCounts* countsOut, uint32_t) {
    std::lock_guard<std::mutex> lock(gHandlesLock);
    const OpenFile* file = Lookup(handle);
    if (file == nullptr || countsOut == nullptr) {
        return -1;
    }
    RLChannelCounts counts{0, 0, 0};
    for (const StreamDescription& s : file->media.streams) {
        switch (s.kind) {
        case StreamKind::kVideo:
            ++counts.video;
            break;
        case StreamKind::kAudio:
            ++counts.audio;
            break;
        case StreamKind::kData:
            ++counts.info;
            break;
        }
    }
    *countsOut = counts;
    return 0;
}

int32_t rlClose(RLHANDLE* handle) {
    if (handle == nullptr) {
        return -1;
    }
    OpenFile* file = nullptr;
    {
        std::lock_guard<std::mutex> lock(gHandlesLock);
        file = Lookup(handle);
        if (file != nullptr) {
            gHandles.erase(file);
        }
    }
    *handle = nullptr;
    delete file;
    return file != nullptr ? 0 : -1;
}

} // extern "C"

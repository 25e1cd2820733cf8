// The engine's functions by ordinal, the resolver that hands them out, and
// the hooks that tests use to reload the configuration and drive the clock.
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine_internal.h"
#include "kxr/engine.h"
#include "kxr/kxrengine_export.h"
#include "kxr/snipr.h"
#include "kxr/tempex.h"
#include "platform/kxr_diskspace.h"

using namespace kxrengine;

namespace {

struct Locked {
    Locked() : lock(TheEngine().mutex) { TheEngine().EnsureLoaded(); }
    Engine& e() { return TheEngine(); }
    std::lock_guard<std::mutex> lock;
};

void CopyOut(char* out, size_t size, const std::string& text) {
    if (out == nullptr || size == 0) {
        return;
    }
    const size_t n = std::min(text.size(), size - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

// A clip-name argument: 8 characters at most, not necessarily terminated.
std::string ClipArgument(const char* clip) {
    if (clip == nullptr) {
        return std::string();
    }
    char name[kClipNameWidth + 1];
    strcpyClip(name, clip);
    std::string text(name);
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

char* NewText(const std::string& text) {
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy != nullptr) {
        std::memcpy(copy, text.c_str(), text.size() + 1);
    }
    return copy;
}

// Per-channel readings that answer "none" for a channel that does not exist.
template <typename Read> uint32_t Reading(int32_t channel, uint32_t none, Read read) {
    Locked l;
    Channel* c = l.e().Find(channel);
    return c != nullptr ? read(*c) : none;
}

bool IsAnalogInput(uint32_t code) {
    return code != 0 && code < 0x100u;
}

} // namespace

extern "C" {

uint32_t EngineGetChannelCount(void) {
    Locked l;
    return l.e().ChannelCount();
}

uint32_t EngineGetInternalChannelCount(void) {
    Locked l;
    return l.e().InternalChannelCount();
}

int32_t EngineGetChannelName(int32_t channel, char* nameOut) {
    Locked l;
    Channel* c = l.e().Find(channel);
    CopyOut(nameOut, kEngineNameSize, c != nullptr ? c->settings.name : std::string());
    return c != nullptr ? 0 : -1;
}

int32_t EngineGetChannelType(int32_t channel) {
    Locked l;
    Channel* c = l.e().Find(channel);
    return c != nullptr ? c->settings.type : -1;
}

int32_t EnginePlay(int32_t channel) {
    Locked l;
    return l.e().Play(channel, kNormalSpeed);
}

int32_t EnginePlayAtSpeed(int32_t channel, int32_t speed, uint32_t /*reserved*/) {
    Locked l;
    return l.e().Play(channel, speed);
}

int32_t EngineLoadClip(int32_t channel, const char* clip, uint32_t /*option*/) {
    Locked l;
    return l.e().LoadClip(channel, ClipArgument(clip));
}

int32_t EnginePause(int32_t channel) {
    Locked l;
    return l.e().Pause(channel);
}

int32_t EngineSeek(int32_t channel, int32_t frame) {
    Locked l;
    return l.e().Seek(channel, frame);
}

int32_t EngineSeekRelative(int32_t channel, int32_t frames) {
    Locked l;
    return l.e().SeekRelative(channel, frames);
}

int32_t EngineStop(int32_t channel) {
    Locked l;
    return l.e().Stop(channel);
}

int32_t EngineRecord(int32_t channel) {
    Locked l;
    return l.e().Record(channel);
}

int32_t EngineRecordStop(int32_t channel, const char* text, uint32_t /*reserved*/) {
    // The page passes what followed its "recstop" word, e.g. "=NAME".
    std::string name = text != nullptr ? std::string(text) : std::string();
    if (!name.empty() && name[0] == '=') {
        name.erase(0, 1);
    }
    Locked l;
    return l.e().RecordStop(channel, name);
}

int32_t EngineEject(int32_t channel) {
    Locked l;
    return l.e().Eject(channel);
}

int32_t EngineMediaCmd(int32_t channel, MediaCmd* record) {
    return ExecuteMediaCmd(channel, record);
}

int32_t EngineRefreshStatus(int32_t channel) {
    Locked l;
    Channel* c = l.e().Find(channel);
    if (c == nullptr) {
        return -1;
    }
    l.e().Update(*c);
    return 0;
}

int32_t EngineGetSpeed(int32_t channel) {
    Locked l;
    Channel* c = l.e().Find(channel);
    if (c == nullptr) {
        return 0;
    }
    l.e().Update(*c);
    return c->speed;
}

int32_t EngineGetFrame(int32_t channel) {
    Locked l;
    Channel* c = l.e().Find(channel);
    return c != nullptr ? l.e().Position(*c) : 0;
}

int32_t EngineGetCurrentClip(int32_t channel, char* clipOut) {
    Locked l;
    Channel* c = l.e().Find(channel);
    CopyOut(clipOut, kEngineShortTextSize,
            c != nullptr ? l.e().CurrentClipName(*c) : std::string());
    return c != nullptr ? 0 : -1;
}

int32_t EngineGetPositionText(int32_t channel, char* textOut) {
    Locked l;
    Channel* c = l.e().Find(channel);
    if (c == nullptr) {
        CopyOut(textOut, kEngineShortTextSize, "");
        return -1;
    }
    char text[TEMPEX_TEXT_SIZE] = {};
    TcFramesToText(l.e().Position(*c), c->settings.tcType | 0x32100u, text);
    CopyOut(textOut, kEngineShortTextSize, text);
    return 0;
}

int32_t EngineGetStateText(int32_t channel, char* textOut) {
    Locked l;
    Channel* c = l.e().Find(channel);
    if (c != nullptr) {
        l.e().Update(*c);
    }
    CopyOut(textOut, kEngineShortTextSize, c != nullptr ? l.e().StateText(*c) : "");
    return c != nullptr ? 0 : -1;
}

int32_t EngineGetNextClip(int32_t channel, char* clipInOut) {
    if (clipInOut == nullptr) {
        return -1;
    }
    Locked l;
    Channel* c = l.e().Find(channel);
    const std::string name = ClipArgument(clipInOut);
    if (c == nullptr) {
        clipInOut[0] = '\0';
        return -1;
    }
    if (name.empty()) {
        // The start of a walk: a good moment to notice new files.
        l.e().Rescan();
    }
    const auto clips = l.e().ClipsOf(*c);
    size_t next = 0;
    if (!name.empty()) {
        next = clips.size();
        for (size_t i = 0; i < clips.size(); ++i) {
            if (strcmpClip(clips[i]->name.c_str(), name.c_str()) == 0) {
                next = i + 1;
                break;
            }
        }
        if (next == clips.size() &&
            (clips.empty() || strcmpClip(clips.back()->name.c_str(), name.c_str()) != 0)) {
            l.e().Fail(kErrUnknownClip, "Next clip: unknown clip \"" + name + "\" on channel " +
                                            std::to_string(channel));
        }
    }
    CopyOut(clipInOut, kEngineClipNameSize,
            next < clips.size() ? clips[next]->name : std::string());
    return 0;
}

int32_t EngineGetClipInfo(int32_t channel, const char* clip, int32_t* inOut, int32_t* outOut,
                          uint32_t* extra1, uint32_t* extra2, uint32_t* extra3, char* fileOut) {
    Locked l;
    Channel* c = l.e().FindForCommand(channel, "Clip information");
    const std::string name = ClipArgument(clip);
    const Clip* found = c != nullptr ? l.e().FindClip(*c, name) : nullptr;
    if (found == nullptr) {
        if (c != nullptr) {
            l.e().Fail(kErrUnknownClip, "Clip information: unknown clip \"" + name +
                                            "\" on channel " + std::to_string(channel));
        }
        if (inOut != nullptr) {
            *inOut = -1;
        }
        if (outOut != nullptr) {
            *outOut = -1;
        }
        CopyOut(fileOut, kEngineNameSize, "");
        return -1;
    }
    if (inOut != nullptr) {
        *inOut = 0;
    }
    if (outOut != nullptr) {
        *outOut = l.e().ClipLength(*c, *found);
    }
    if (extra1 != nullptr) {
        *extra1 = found->videoFlag;
    }
    if (extra2 != nullptr) {
        *extra2 = found->audioMask;
    }
    if (extra3 != nullptr) {
        *extra3 = static_cast<uint32_t>(l.e().TimelinePositionOf(*c, *found));
    }
    CopyOut(fileOut, kEngineNameSize, found->path);
    return 0;
}

int32_t EngineTimelineRewind(int32_t channel) {
    Locked l;
    Channel* c = l.e().Find(channel);
    if (c == nullptr) {
        return -1;
    }
    c->timelineCursor = 0;
    return 0;
}

uint32_t EngineTimelineNext(int32_t channel, int32_t* positionOut, int32_t* inOut, int32_t* outOut,
                            uint32_t* videoOut, uint32_t* audioMaskOut, uint32_t* extra1,
                            uint32_t* extra2, char* fileOut, uint32_t /*reserved*/) {
    Locked l;
    Channel* c = l.e().Find(channel);
    const auto entries = c != nullptr ? l.e().Timeline(*c) : std::vector<TimelineEntry>();
    if (c == nullptr || c->timelineCursor >= entries.size()) {
        if (outOut != nullptr) {
            *outOut = -1;
        }
        return 0xFFFFFFFFu;
    }
    const size_t index = c->timelineCursor++;
    const TimelineEntry& e = entries[index];
    if (positionOut != nullptr) {
        *positionOut = e.position;
    }
    if (inOut != nullptr) {
        *inOut = e.in;
    }
    if (outOut != nullptr) {
        *outOut = e.out;
    }
    if (videoOut != nullptr) {
        *videoOut = e.clip->videoFlag;
    }
    if (audioMaskOut != nullptr) {
        *audioMaskOut = e.clip->audioMask;
    }
    if (extra1 != nullptr) {
        *extra1 = 0;
    }
    if (extra2 != nullptr) {
        *extra2 = 0;
    }
    CopyOut(fileOut, kEngineNameSize, e.clip->path);
    return static_cast<uint32_t>(index);
}

uint32_t EngineGetLastChangeXferMs(int32_t channel) {
    return Reading(channel, 0, [](Channel& c) { return c.lastXferMs; });
}

uint32_t EngineGetLastChangeMs(int32_t channel, uint32_t /*reserved1*/, uint32_t /*reserved2*/) {
    Locked l;
    Channel* c = l.e().Find(channel);
    if (c == nullptr) {
        return 0;
    }
    l.e().Update(*c); // reaching a clip's end is a change
    return c->lastChangeMs;
}

uint32_t EngineGetSetting(int32_t channel, uint32_t code, uint32_t /*reserved1*/,
                          uint32_t /*reserved2*/) {
    Locked l;
    Channel* c = l.e().Find(channel);
    if (c == nullptr) {
        return 0xFFFFFFFFu;
    }
    switch (code) {
    case 900:
        return c->settings.signalFormat;
    case 731:
        return c->settings.compression;
    case 722:
        return c->settings.bitDepth;
    case 727:
        return c->settings.container;
    case 744:
        return c->settings.connectorVariant;
    default:
        l.e().Fail(kErrUnknownSetting, "Setting " + std::to_string(code) + " is not known");
        return 0xFFFFFFFFu;
    }
}

int32_t EngineGetMode(int32_t channel) {
    Locked l;
    Channel* c = l.e().Find(channel);
    return c != nullptr ? c->settings.mode : -1;
}

int32_t EngineSetMode(int32_t channel, int32_t mode) {
    Locked l;
    Channel* c = l.e().FindForCommand(channel, "Mode");
    if (c == nullptr) {
        return -1;
    }
    if (c->settings.mode != mode) {
        c->settings.mode = mode;
        c->lastChangeMs = l.e().Now();
    }
    return 0;
}

uint32_t EngineGetTcType(int32_t channel) {
    return Reading(channel, 0, [](Channel& c) { return c.settings.tcType; });
}

int32_t EngineGetChannelMasks(int32_t channel, uint32_t* videoInOut, uint32_t* audioInOut,
                              uint32_t* infoInOut) {
    Locked l;
    Channel* c = l.e().Find(channel);
    if (c == nullptr) {
        return -1;
    }
    if (videoInOut != nullptr) {
        *videoInOut = c->settings.videoMask;
    }
    if (audioInOut != nullptr) {
        *audioInOut = c->settings.audioMask;
    }
    if (infoInOut != nullptr) {
        *infoInOut = c->settings.infoMask;
    }
    return 0;
}

uint32_t EngineGetAudioInput(int32_t channel) {
    return Reading(channel, 0, [](Channel& c) { return c.settings.audioInput; });
}

// Meters move only while material runs through the channel.
uint32_t EngineGetAudioInLevel(int32_t channel) {
    return Reading(channel, 0xFFFFFFFFu, [](Channel& c) {
        return c.state == State::Recording ? c.settings.audioLevel : 0u;
    });
}

uint32_t EngineGetAudioOutput(int32_t channel) {
    return Reading(channel, 0, [](Channel& c) { return c.settings.audioOutput; });
}

uint32_t EngineGetAudioOutLevel(int32_t channel) {
    return Reading(channel, 0xFFFFFFFFu, [](Channel& c) {
        return c.state == State::Playing ? c.settings.audioLevel : 0u;
    });
}

uint32_t EngineGetVideoInput(int32_t channel) {
    return Reading(channel, 0, [](Channel& c) { return c.settings.videoInput; });
}

uint32_t EngineGetVideoOutput(int32_t channel) {
    return Reading(channel, 0, [](Channel& c) { return c.settings.videoOutput; });
}

// The first adjustment set exists only for analogue inputs; the second always.
uint32_t EngineGetSetupA(int32_t channel) {
    return Reading(channel, 0xFFFFFFFFu, [](Channel& c) {
        return IsAnalogInput(c.settings.videoInput) ? c.settings.setup : 0xFFFFFFFFu;
    });
}

uint32_t EngineGetVideoLevelA(int32_t channel) {
    return Reading(channel, 0xFFFFFFFFu, [](Channel& c) {
        return IsAnalogInput(c.settings.videoInput) ? c.settings.videoLevel : 0xFFFFFFFFu;
    });
}

uint32_t EngineGetHueA(int32_t channel) {
    return Reading(channel, 0xFFFFFFFFu, [](Channel& c) {
        return IsAnalogInput(c.settings.videoInput) ? c.settings.hue : 0xFFFFFFFFu;
    });
}

uint32_t EngineGetChromaA(int32_t channel) {
    return Reading(channel, 0xFFFFFFFFu, [](Channel& c) {
        return IsAnalogInput(c.settings.videoInput) ? c.settings.chroma : 0xFFFFFFFFu;
    });
}

uint32_t EngineGetSetupB(int32_t channel) {
    return Reading(channel, 0xFFFFFFFFu, [](Channel& c) { return c.settings.setup; });
}

uint32_t EngineGetVideoLevelB(int32_t channel) {
    return Reading(channel, 0xFFFFFFFFu, [](Channel& c) { return c.settings.videoLevel; });
}

uint32_t EngineGetHueB(int32_t channel) {
    return Reading(channel, 0xFFFFFFFFu, [](Channel& c) { return c.settings.hue; });
}

uint32_t EngineGetChromaB(int32_t channel) {
    return Reading(channel, 0xFFFFFFFFu, [](Channel& c) { return c.settings.chroma; });
}

uint32_t EngineGetReference(int32_t channel) {
    return Reading(channel, 0, [](Channel& c) { return c.settings.reference; });
}

uint32_t EngineGetErrorLogMs(void) {
    Locked l;
    return l.e().ErrorLogMs();
}

int32_t EngineSetErrorLog(uint32_t operation) {
    Locked l;
    return l.e().SetErrorLog(operation);
}

int32_t EngineErrorLogCount(uint32_t* countOut) {
    Locked l;
    if (countOut == nullptr) {
        return -1;
    }
    *countOut = static_cast<uint32_t>(l.e().Errors().size());
    return 0;
}

int32_t EngineErrorLogLength(uint32_t* indexInOut, uint32_t* lengthOut) {
    Locked l;
    if (lengthOut != nullptr) {
        *lengthOut = 0;
    }
    if (indexInOut == nullptr || *indexInOut >= l.e().Errors().size()) {
        return -1;
    }
    if (lengthOut != nullptr) {
        *lengthOut = static_cast<uint32_t>(l.e().Errors()[*indexInOut].text.size());
    }
    return 0;
}

int32_t EngineErrorLogRead(uint32_t* indexInOut, int32_t* codeOut, char* textOut, uint16_t* year,
                           uint16_t* a, uint16_t* b, uint16_t* hour, uint16_t* minute,
                           uint16_t* second, uint16_t* fraction) {
    Locked l;
    uint16_t* fields[7] = {year, a, b, hour, minute, second, fraction};
    const auto& errors = l.e().Errors();
    const bool valid = indexInOut != nullptr && *indexInOut < errors.size();
    const ErrorEntry empty;
    const ErrorEntry& entry = valid ? errors[*indexInOut] : empty;
    if (codeOut != nullptr) {
        *codeOut = entry.code;
    }
    if (textOut != nullptr) {
        // The caller sized the buffer from ErrorLogLength.
        std::memcpy(textOut, entry.text.c_str(), entry.text.size() + 1);
    }
    for (int i = 0; i < 7; ++i) {
        if (fields[i] != nullptr) {
            *fields[i] = entry.time[i];
        }
    }
    if (!valid) {
        return -1;
    }
    ++*indexInOut; // the next message's index
    return 0;
}

uint32_t EngineGetStorageFree(int32_t /*channel*/) {
    std::string dir;
    {
        Locked l;
        dir = l.e().recordDir.empty() ? std::string(".") : l.e().recordDir;
    }
    uint64_t megabytes = 0;
    if (!kxr::platform::FreeStorageMegabytes(dir.c_str(), &megabytes)) {
        return 0;
    }
    return megabytes > 0xFFFFFFFEu ? 0xFFFFFFFEu : static_cast<uint32_t>(megabytes);
}

char* EngineGetRevisionText(void) {
    return NewText("kxrengine 0.1.0 (simulated engine)");
}

char* EngineGetMediaRevisionText(void) {
    return NewText("kxrengine media 0.1.0 (FFmpeg pictures)");
}

char* EngineGetSystemText(int32_t channel) {
    Locked l;
    Engine& e = l.e();
    std::string text = "Simulated video engine, " + std::to_string(e.ChannelCount()) + " channels";
    if (Channel* c = e.Find(channel)) {
        text += "; channel " + std::to_string(channel) + " \"" + c->settings.name + "\" runs at " +
                std::to_string(c->rate) + "/" + std::to_string(c->scale) + " frames a second";
    }
    text += e.recordDir.empty() ? "; no record directory" : "; records to " + e.recordDir;
    if (e.deterministic) {
        text += "; deterministic clock";
    }
    return NewText(text);
}

void EngineFreeText(char* text) {
    std::free(text);
}

// ---- resolver and test hooks ----

KXRENGINE_EXPORT void* kxrEngineProcByOrdinal(unsigned ordinal) {
    switch (ordinal) {
    case kOrdGetChannelCount:
        return reinterpret_cast<void*>(&EngineGetChannelCount);
    case kOrdGetInternalChannelCount:
        return reinterpret_cast<void*>(&EngineGetInternalChannelCount);
    case kOrdGetChannelName:
        return reinterpret_cast<void*>(&EngineGetChannelName);
    case kOrdGetChannelType:
        return reinterpret_cast<void*>(&EngineGetChannelType);
    case kOrdPlay:
        return reinterpret_cast<void*>(&EnginePlay);
    case kOrdPlayAtSpeed:
        return reinterpret_cast<void*>(&EnginePlayAtSpeed);
    case kOrdLoadClip:
        return reinterpret_cast<void*>(&EngineLoadClip);
    case kOrdPause:
        return reinterpret_cast<void*>(&EnginePause);
    case kOrdSeek:
        return reinterpret_cast<void*>(&EngineSeek);
    case kOrdSeekRelative:
        return reinterpret_cast<void*>(&EngineSeekRelative);
    case kOrdStop:
        return reinterpret_cast<void*>(&EngineStop);
    case kOrdRecord:
        return reinterpret_cast<void*>(&EngineRecord);
    case kOrdRecordStop:
        return reinterpret_cast<void*>(&EngineRecordStop);
    case kOrdEject:
        return reinterpret_cast<void*>(&EngineEject);
    case kOrdMediaCmd:
        return reinterpret_cast<void*>(&EngineMediaCmd);
    case kOrdRefreshStatus:
        return reinterpret_cast<void*>(&EngineRefreshStatus);
    case kOrdGetSpeed:
        return reinterpret_cast<void*>(&EngineGetSpeed);
    case kOrdGetFrame:
        return reinterpret_cast<void*>(&EngineGetFrame);
    case kOrdGetCurrentClip:
        return reinterpret_cast<void*>(&EngineGetCurrentClip);
    case kOrdGetPositionText:
        return reinterpret_cast<void*>(&EngineGetPositionText);
    case kOrdGetStateText:
        return reinterpret_cast<void*>(&EngineGetStateText);
    case kOrdGetNextClip:
        return reinterpret_cast<void*>(&EngineGetNextClip);
    case kOrdGetClipInfo:
        return reinterpret_cast<void*>(&EngineGetClipInfo);
    case kOrdTimelineRewind:
        return reinterpret_cast<void*>(&EngineTimelineRewind);
    case kOrdTimelineNext:
        return reinterpret_cast<void*>(&EngineTimelineNext);
    case kOrdGetLastChangeXferMs:
        return reinterpret_cast<void*>(&EngineGetLastChangeXferMs);
    case kOrdGetLastChangeMs:
        return reinterpret_cast<void*>(&EngineGetLastChangeMs);
    case kOrdGetSetting:
        return reinterpret_cast<void*>(&EngineGetSetting);
    case kOrdGetMode:
        return reinterpret_cast<void*>(&EngineGetMode);
    case kOrdSetMode:
        return reinterpret_cast<void*>(&EngineSetMode);
    case kOrdGetTcType:
        return reinterpret_cast<void*>(&EngineGetTcType);
    case kOrdGetChannelMasks:
        return reinterpret_cast<void*>(&EngineGetChannelMasks);
    case kOrdGetAudioInput:
        return reinterpret_cast<void*>(&EngineGetAudioInput);
    case kOrdGetAudioInLevel:
        return reinterpret_cast<void*>(&EngineGetAudioInLevel);
    case kOrdGetAudioOutput:
        return reinterpret_cast<void*>(&EngineGetAudioOutput);
    case kOrdGetAudioOutLevel:
        return reinterpret_cast<void*>(&EngineGetAudioOutLevel);
    case kOrdGetVideoInput:
        return reinterpret_cast<void*>(&EngineGetVideoInput);
    case kOrdGetVideoOutput:
        return reinterpret_cast<void*>(&EngineGetVideoOutput);
    case kOrdGetSetupA:
        return reinterpret_cast<void*>(&EngineGetSetupA);
    case kOrdGetVideoLevelA:
        return reinterpret_cast<void*>(&EngineGetVideoLevelA);
    case kOrdGetHueA:
        return reinterpret_cast<void*>(&EngineGetHueA);
    case kOrdGetChromaA:
        return reinterpret_cast<void*>(&EngineGetChromaA);
    case kOrdGetSetupB:
        return reinterpret_cast<void*>(&EngineGetSetupB);
    case kOrdGetVideoLevelB:
        return reinterpret_cast<void*>(&EngineGetVideoLevelB);
    case kOrdGetHueB:
        return reinterpret_cast<void*>(&EngineGetHueB);
    case kOrdGetChromaB:
        return reinterpret_cast<void*>(&EngineGetChromaB);
    case kOrdGetReference:
        return reinterpret_cast<void*>(&EngineGetReference);
    case kOrdGetErrorLogMs:
        return reinterpret_cast<void*>(&EngineGetErrorLogMs);
    case kOrdSetErrorLog:
        return reinterpret_cast<void*>(&EngineSetErrorLog);
    case kOrdErrorLogCount:
        return reinterpret_cast<void*>(&EngineErrorLogCount);
    case kOrdErrorLogLength:
        return reinterpret_cast<void*>(&EngineErrorLogLength);
    case kOrdErrorLogRead:
        return reinterpret_cast<void*>(&EngineErrorLogRead);
    case kOrdGetStorageFree:
        return reinterpret_cast<void*>(&EngineGetStorageFree);
    case kOrdGetRevisionText:
        return reinterpret_cast<void*>(&EngineGetRevisionText);
    case kOrdGetMediaRevisionText:
        return reinterpret_cast<void*>(&EngineGetMediaRevisionText);
    case kOrdGetSystemText:
        return reinterpret_cast<void*>(&EngineGetSystemText);
    case kOrdFreeText:
        return reinterpret_cast<void*>(&EngineFreeText);
    default:
        return nullptr;
    }
}

// Reads the configuration again, as at first use: channels, clips, logs.
KXRENGINE_EXPORT int32_t kxrEngineReload(void) {
    std::lock_guard<std::mutex> lock(TheEngine().mutex);
    TheEngine().Reload();
    return 0;
}

// Moves the deterministic clock on; -1 when the engine follows the real clock.
KXRENGINE_EXPORT int32_t kxrEngineAdvanceClock(uint32_t milliseconds) {
    Locked l;
    return l.e().AdvanceClock(milliseconds) ? 0 : -1;
}

} // extern "C"

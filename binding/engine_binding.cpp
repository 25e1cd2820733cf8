#include "binding/engine_binding.h"

#include <atomic>
#include <string>

#include "platform/kxr_dynlib.h"
#include "platform/kxr_file.h"
#include "platform/kxr_path.h"
#include "platform/kxr_process.h"

#ifndef KXR_ENGINE_FILE_NAME
#error "the build names the engine library file in KXR_ENGINE_FILE_NAME"
#endif

namespace kxr {

namespace {

// Each entry of the table with its ordinal.
#define KXR_ENGINE_ENTRIES(X)                                                                      \
    X(kOrdGetChannelCount, getChannelCount)                                                        \
    X(kOrdGetInternalChannelCount, getInternalChannelCount)                                        \
    X(kOrdGetChannelName, getChannelName)                                                          \
    X(kOrdGetChannelType, getChannelType)                                                          \
    X(kOrdPlay, play)                                                                              \
    X(kOrdPlayAtSpeed, playAtSpeed)                                                                \
    X(kOrdLoadClip, loadClip)                                                                      \
    X(kOrdPause, pause)                                                                            \
    X(kOrdSeek, seek)                                                                              \
    X(kOrdSeekRelative, seekRelative)                                                              \
    X(kOrdStop, stop)                                                                              \
    X(kOrdRecord, record)                                                                          \
    X(kOrdRecordStop, recordStop)                                                                  \
    X(kOrdEject, eject)                                                                            \
    X(kOrdMediaCmd, mediaCmd)                                                                      \
    X(kOrdRefreshStatus, refreshStatus)                                                            \
    X(kOrdGetSpeed, getSpeed)                                                                      \
    X(kOrdGetFrame, getFrame)                                                                      \
    X(kOrdGetCurrentClip, getCurrentClip)                                                          \
    X(kOrdGetPositionText, getPositionText)                                                        \
    X(kOrdGetStateText, getStateText)                                                              \
    X(kOrdGetNextClip, getNextClip)                                                                \
    X(kOrdGetClipInfo, getClipInfo)                                                                \
    X(kOrdTimelineRewind, timelineRewind)                                                          \
    X(kOrdTimelineNext, timelineNext)                                                              \
    X(kOrdGetLastChangeXferMs, getLastChangeXferMs)                                                \
    X(kOrdGetLastChangeMs, getLastChangeMs)                                                        \
    X(kOrdGetSetting, getSetting)                                                                  \
    X(kOrdGetMode, getMode)                                                                        \
    X(kOrdSetMode, setMode)                                                                        \
    X(kOrdGetTcType, getTcType)                                                                    \
    X(kOrdGetChannelMasks, getChannelMasks)                                                        \
    X(kOrdGetAudioInput, getAudioInput)                                                            \
    X(kOrdGetAudioInLevel, getAudioInLevel)                                                        \
    X(kOrdGetAudioOutput, getAudioOutput)                                                          \
    X(kOrdGetAudioOutLevel, getAudioOutLevel)                                                      \
    X(kOrdGetVideoInput, getVideoInput)                                                            \
    X(kOrdGetVideoOutput, getVideoOutput)                                                          \
    X(kOrdGetSetupA, getSetupA)                                                                    \
    X(kOrdGetVideoLevelA, getVideoLevelA)                                                          \
    X(kOrdGetHueA, getHueA)                                                                        \
    X(kOrdGetChromaA, getChromaA)                                                                  \
    X(kOrdGetSetupB, getSetupB)                                                                    \
    X(kOrdGetVideoLevelB, getVideoLevelB)                                                          \
    X(kOrdGetHueB, getHueB)                                                                        \
    X(kOrdGetChromaB, getChromaB)                                                                  \
    X(kOrdGetReference, getReference)                                                              \
    X(kOrdGetErrorLogMs, getErrorLogMs)                                                            \
    X(kOrdSetErrorLog, setErrorLog)                                                                \
    X(kOrdErrorLogCount, errorLogCount)                                                            \
    X(kOrdErrorLogLength, errorLogLength)                                                          \
    X(kOrdErrorLogRead, errorLogRead)                                                              \
    X(kOrdGetStorageFree, getStorageFree)                                                          \
    X(kOrdGetRevisionText, getRevisionText)                                                        \
    X(kOrdGetMediaRevisionText, getMediaRevisionText)                                              \
    X(kOrdGetSystemText, getSystemText)                                                            \
    X(kOrdFreeText, freeText)

constexpr int32_t kNotDone = -1;
constexpr uint32_t kNoReading = ENGINE_NO_VALUE;

void ClearText(char* text) {
    if (text != nullptr) {
        text[0] = '\0';
    }
}

template <typename T> void Clear(T* value) {
    if (value != nullptr) {
        *value = 0;
    }
}

EngineTable MakeNeutralTable() {
    EngineTable t{};
    t.getChannelCount = []() -> uint32_t { return 0; };
    t.getInternalChannelCount = []() -> uint32_t { return 0; };
    t.getChannelName = [](int32_t, char* nameOut) {
        ClearText(nameOut);
        return kNotDone;
    };
    t.getChannelType = [](int32_t) -> int32_t { return 0; };
    t.play = [](int32_t) { return kNotDone; };
    t.playAtSpeed = [](int32_t, int32_t, uint32_t) { return kNotDone; };
    t.loadClip = [](int32_t, const char*, uint32_t) { return kNotDone; };
    t.pause = [](int32_t) { return kNotDone; };
    t.seek = [](int32_t, int32_t) { return kNotDone; };
    t.seekRelative = [](int32_t, int32_t) { return kNotDone; };
    t.stop = [](int32_t) { return kNotDone; };
    t.record = [](int32_t) { return kNotDone; };
    t.recordStop = [](int32_t, const char*, uint32_t) { return kNotDone; };
    t.eject = [](int32_t) { return kNotDone; };
    t.mediaCmd = [](int32_t, MediaCmd*) { return kNotDone; };
    t.refreshStatus = [](int32_t) { return kNotDone; };
    t.getSpeed = [](int32_t) -> int32_t { return 0; };
    t.getFrame = [](int32_t) -> int32_t { return 0; };
    t.getCurrentClip = [](int32_t, char* clipOut) {
        ClearText(clipOut);
        return kNotDone;
    };
    t.getPositionText = [](int32_t, char* textOut) {
        ClearText(textOut);
        return kNotDone;
    };
    t.getStateText = [](int32_t, char* textOut) {
        ClearText(textOut);
        return kNotDone;
    };
    // An empty name ends every clip walk at once.
    t.getNextClip = [](int32_t, char* clipInOut) {
        ClearText(clipInOut);
        return kNotDone;
    };
    t.getClipInfo = [](int32_t, const char*, int32_t* inOut, int32_t* outOut, uint32_t* extra1,
                       uint32_t* extra2, uint32_t* extra3, char* fileOut) {
        Clear(inOut);
        Clear(outOut);
        Clear(extra1);
        Clear(extra2);
        Clear(extra3);
        ClearText(fileOut);
        return kNotDone;
    };
    t.timelineRewind = [](int32_t) { return kNotDone; };
    t.timelineNext = [](int32_t, int32_t*, int32_t*, int32_t*, uint32_t*, uint32_t*, uint32_t*,
                        uint32_t*, char* fileOut, uint32_t) -> uint32_t {
        ClearText(fileOut);
        return ENGINE_NO_VALUE;
    };
    t.getLastChangeXferMs = [](int32_t) -> uint32_t { return 0; };
    t.getLastChangeMs = [](int32_t, uint32_t, uint32_t) -> uint32_t { return 0; };
    t.getSetting = [](int32_t, uint32_t, uint32_t, uint32_t) -> uint32_t { return 0; };
    t.getMode = [](int32_t) -> int32_t { return 0; };
    t.setMode = [](int32_t, int32_t) { return kNotDone; };
    t.getTcType = [](int32_t) -> uint32_t { return 0; };
    // The callers' presets stay.
    t.getChannelMasks = [](int32_t, uint32_t*, uint32_t*, uint32_t*) { return kNotDone; };
    const EngineChannelValueFn zero = [](int32_t) -> uint32_t { return 0; };
    const EngineChannelValueFn noReading = [](int32_t) -> uint32_t { return kNoReading; };
    t.getAudioInput = zero;
    t.getAudioInLevel = noReading;
    t.getAudioOutput = zero;
    t.getAudioOutLevel = noReading;
    t.getVideoInput = zero;
    t.getVideoOutput = zero;
    t.getSetupA = noReading;
    t.getVideoLevelA = zero;
    t.getHueA = zero;
    t.getChromaA = zero;
    t.getSetupB = zero;
    t.getVideoLevelB = zero;
    t.getHueB = zero;
    t.getChromaB = zero;
    t.getReference = zero;
    t.getErrorLogMs = []() -> uint32_t { return 0; };
    t.setErrorLog = [](uint32_t) { return kNotDone; };
    t.errorLogCount = [](uint32_t* countOut) {
        Clear(countOut);
        return kNotDone;
    };
    t.errorLogLength = [](uint32_t*, uint32_t* lengthOut) {
        Clear(lengthOut);
        return kNotDone;
    };
    t.errorLogRead = [](uint32_t*, int32_t* codeOut, char* textOut, uint16_t*, uint16_t*, uint16_t*,
                        uint16_t*, uint16_t*, uint16_t*, uint16_t*) {
        Clear(codeOut);
        ClearText(textOut);
        return kNotDone;
    };
    t.getStorageFree = [](int32_t) -> uint32_t { return 0; };
    t.getRevisionText = []() -> char* { return nullptr; };
    t.getMediaRevisionText = []() -> char* { return nullptr; };
    t.getSystemText = [](int32_t) -> char* { return nullptr; };
    t.freeText = [](char*) {};
    return t;
}

// Made on first use: the module binds the engine while statics are still
// being initialised.
EngineTable& BoundTable() {
    static EngineTable table = MakeNeutralTable();
    return table;
}

void* engineLibrary = nullptr;
// Null while the bound table is in use.
std::atomic<const EngineTable*> activeTable{nullptr};

template <typename Fn> void Assign(Fn& entry, void* proc) {
    if (proc != nullptr) {
        entry = reinterpret_cast<Fn>(proc);
    }
}

} // namespace

const EngineTable& Engine() {
    const EngineTable* table = activeTable.load(std::memory_order_acquire);
    return table != nullptr ? *table : BoundTable();
}

bool EngineIsBound() {
    return engineLibrary != nullptr;
}

const EngineTable& NeutralEngineTable() {
    static const EngineTable table = MakeNeutralTable();
    return table;
}

void SetEngineTable(const EngineTable* table) {
    activeTable.store(table, std::memory_order_release);
}

void UnbindEngine() {
    BoundTable() = NeutralEngineTable();
    platform::FreeSharedLibrary(engineLibrary);
    engineLibrary = nullptr;
}

bool BindEngineLibrary(const char* path) {
    UnbindEngine();
    void* library = platform::LoadSharedLibrary(path);
    if (library == nullptr) {
        return false;
    }
    // POSIX engines name one resolver; Windows engines export by number.
    auto resolve = reinterpret_cast<EngineProcByOrdinalFn>(
        platform::SharedLibrarySymbol(library, KXR_ENGINE_RESOLVER_NAME));
    auto lookup = [&](unsigned ordinal) -> void* {
        return resolve != nullptr ? resolve(ordinal)
                                  : platform::SharedLibraryOrdinal(library, ordinal);
    };
    if (lookup(kOrdGetChannelCount) == nullptr) {
        // Not an engine.
        platform::FreeSharedLibrary(library);
        return false;
    }
    EngineTable table = NeutralEngineTable();
#define KXR_BIND_ENTRY(ordinal, field) Assign(table.field, lookup(ordinal));
    KXR_ENGINE_ENTRIES(KXR_BIND_ENTRY)
#undef KXR_BIND_ENTRY
    BoundTable() = table;
    engineLibrary = library;
    return true;
}

bool BindEngine() {
    const std::string ownDirectory =
        platform::LoadedImageDirectory(reinterpret_cast<const void*>(&BindEngine));
    if (!ownDirectory.empty()) {
        const std::string besideUs = ownDirectory + platform::kPathSeparator + KXR_ENGINE_FILE_NAME;
        if (platform::PathExists(besideUs.c_str()) && BindEngineLibrary(besideUs.c_str())) {
            return true;
        }
    }
    return BindEngineLibrary(KXR_ENGINE_FILE_NAME);
}

} // namespace kxr

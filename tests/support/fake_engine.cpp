#include "tests/support/fake_engine.h"

#include <cstring>

#include "binding/engine_binding.h"

namespace kxrtest {

namespace {

FakeEngine* current = nullptr;

int64_t Done(unsigned ordinal, std::vector<int64_t> args, const char* text = nullptr) {
    FakeEngine* fake = FakeEngine::Current();
    fake->Record(ordinal, std::move(args),
                 text != nullptr ? std::string(text, strnlen(text, 8)) : "");
    return fake->Result(ordinal);
}

void Text(unsigned ordinal, char* out, size_t capacity) {
    FakeEngine::Current()->WriteText(ordinal, out, capacity);
}

int32_t I32(int64_t v) {
    return static_cast<int32_t>(v);
}

uint32_t U32(int64_t v) {
    return static_cast<uint32_t>(v);
}

EngineTable MakeTable() {
    EngineTable t{};
    t.getChannelCount = [] { return U32(Done(kOrdGetChannelCount, {})); };
    t.getInternalChannelCount = [] { return U32(Done(kOrdGetInternalChannelCount, {})); };
    t.getChannelName = [](int32_t c, char* out) {
        Text(kOrdGetChannelName, out, kEngineNameSize);
        return I32(Done(kOrdGetChannelName, {c}));
    };
    t.getChannelType = [](int32_t c) { return I32(Done(kOrdGetChannelType, {c})); };
    t.play = [](int32_t c) { return I32(Done(kOrdPlay, {c})); };
    t.playAtSpeed = [](int32_t c, int32_t s, uint32_t r) {
        return I32(Done(kOrdPlayAtSpeed, {c, s, r}));
    };
    t.loadClip = [](int32_t c, const char* clip, uint32_t o) {
        return I32(Done(kOrdLoadClip, {c, o}, clip));
    };
    t.pause = [](int32_t c) { return I32(Done(kOrdPause, {c})); };
    t.seek = [](int32_t c, int32_t f) { return I32(Done(kOrdSeek, {c, f})); };
    t.seekRelative = [](int32_t c, int32_t f) { return I32(Done(kOrdSeekRelative, {c, f})); };
    t.stop = [](int32_t c) { return I32(Done(kOrdStop, {c})); };
    t.record = [](int32_t c) { return I32(Done(kOrdRecord, {c})); };
    t.recordStop = [](int32_t c, const char* text, uint32_t r) {
        return I32(Done(kOrdRecordStop, {c, r}, text));
    };
    t.eject = [](int32_t c) { return I32(Done(kOrdEject, {c})); };
    t.mediaCmd = [](int32_t c, MediaCmd* m) {
        return I32(Done(kOrdMediaCmd, {c, m != nullptr ? static_cast<int64_t>(m->cmd) : -1}));
    };
    t.refreshStatus = [](int32_t c) { return I32(Done(kOrdRefreshStatus, {c})); };
    t.getSpeed = [](int32_t c) { return I32(Done(kOrdGetSpeed, {c})); };
    t.getFrame = [](int32_t c) { return I32(Done(kOrdGetFrame, {c})); };
    t.getCurrentClip = [](int32_t c, char* out) {
        Text(kOrdGetCurrentClip, out, kEngineShortTextSize);
        return I32(Done(kOrdGetCurrentClip, {c}));
    };
    t.getPositionText = [](int32_t c, char* out) {
        Text(kOrdGetPositionText, out, kEngineShortTextSize);
        return I32(Done(kOrdGetPositionText, {c}));
    };
    t.getStateText = [](int32_t c, char* out) {
        Text(kOrdGetStateText, out, kEngineShortTextSize);
        return I32(Done(kOrdGetStateText, {c}));
    };
    t.getNextClip = [](int32_t c, char* clip) {
        const int64_t r = Done(kOrdGetNextClip, {c}, clip);
        Text(kOrdGetNextClip, clip, kEngineClipNameSize);
        return I32(r);
    };
    t.getClipInfo = [](int32_t c, const char* clip, int32_t*, int32_t*, uint32_t*, uint32_t*,
                       uint32_t*, char* file) {
        Text(kOrdGetClipInfo, file, kEngineNameSize);
        return I32(Done(kOrdGetClipInfo, {c}, clip));
    };
    t.timelineRewind = [](int32_t c) { return I32(Done(kOrdTimelineRewind, {c})); };
    t.timelineNext = [](int32_t c, int32_t*, int32_t*, int32_t*, uint32_t*, uint32_t*, uint32_t*,
                        uint32_t*, char* file, uint32_t r) {
        Text(kOrdTimelineNext, file, kEngineNameSize);
        return U32(Done(kOrdTimelineNext, {c, r}));
    };
    t.getLastChangeXferMs = [](int32_t c) { return U32(Done(kOrdGetLastChangeXferMs, {c})); };
    t.getLastChangeMs = [](int32_t c, uint32_t a, uint32_t b) {
        return U32(Done(kOrdGetLastChangeMs, {c, a, b}));
    };
    t.getSetting = [](int32_t c, uint32_t code, uint32_t a, uint32_t b) {
        return U32(Done(kOrdGetSetting, {c, code, a, b}));
    };
    t.getMode = [](int32_t c) { return I32(Done(kOrdGetMode, {c})); };
    t.setMode = [](int32_t c, int32_t m) { return I32(Done(kOrdSetMode, {c, m})); };
    t.getTcType = [](int32_t c) { return U32(Done(kOrdGetTcType, {c})); };
    t.getChannelMasks = [](int32_t c, uint32_t* v, uint32_t* a, uint32_t* i) {
        return I32(Done(kOrdGetChannelMasks, {c, v != nullptr ? *v : -1, a != nullptr ? *a : -1,
                                              i != nullptr ? *i : -1}));
    };
#define KXR_FAKE_VALUE(field, ordinal) t.field = [](int32_t c) { return U32(Done(ordinal, {c})); };
    KXR_FAKE_VALUE(getAudioInput, kOrdGetAudioInput)
    KXR_FAKE_VALUE(getAudioInLevel, kOrdGetAudioInLevel)
    KXR_FAKE_VALUE(getAudioOutput, kOrdGetAudioOutput)
    KXR_FAKE_VALUE(getAudioOutLevel, kOrdGetAudioOutLevel)
    KXR_FAKE_VALUE(getVideoInput, kOrdGetVideoInput)
    KXR_FAKE_VALUE(getVideoOutput, kOrdGetVideoOutput)
    KXR_FAKE_VALUE(getSetupA, kOrdGetSetupA)
    KXR_FAKE_VALUE(getVideoLevelA, kOrdGetVideoLevelA)
    KXR_FAKE_VALUE(getHueA, kOrdGetHueA)
    KXR_FAKE_VALUE(getChromaA, kOrdGetChromaA)
    KXR_FAKE_VALUE(getSetupB, kOrdGetSetupB)
    KXR_FAKE_VALUE(getVideoLevelB, kOrdGetVideoLevelB)
    KXR_FAKE_VALUE(getHueB, kOrdGetHueB)
    KXR_FAKE_VALUE(getChromaB, kOrdGetChromaB)
    KXR_FAKE_VALUE(getReference, kOrdGetReference)
    KXR_FAKE_VALUE(getStorageFree, kOrdGetStorageFree)
#undef KXR_FAKE_VALUE
    t.getErrorLogMs = [] { return U32(Done(kOrdGetErrorLogMs, {})); };
    t.setErrorLog = [](uint32_t op) { return I32(Done(kOrdSetErrorLog, {op})); };
    t.errorLogCount = [](uint32_t* count) {
        const int64_t r = Done(kOrdErrorLogCount, {});
        if (count != nullptr)
            *count = U32(r);
        return 0;
    };
    t.errorLogLength = [](uint32_t* index, uint32_t* length) {
        const int64_t r = Done(kOrdErrorLogLength, {index != nullptr ? *index : -1});
        if (length != nullptr) {
            *length = U32(r);
        }
        return 0;
    };
    t.errorLogRead = [](uint32_t* index, int32_t*, char* text, uint16_t*, uint16_t*, uint16_t*,
                        uint16_t*, uint16_t*, uint16_t*, uint16_t*) {
        Text(kOrdErrorLogRead, text, kEngineNameSize);
        return I32(Done(kOrdErrorLogRead, {index != nullptr ? *index : -1}));
    };
    t.getRevisionText = []() -> char* {
        Done(kOrdGetRevisionText, {});
        return nullptr;
    };
    t.getMediaRevisionText = []() -> char* {
        Done(kOrdGetMediaRevisionText, {});
        return nullptr;
    };
    t.getSystemText = [](int32_t c) -> char* {
        Done(kOrdGetSystemText, {c});
        return nullptr;
    };
    t.freeText = [](char* text) { Done(kOrdFreeText, {text != nullptr ? 1 : 0}); };
    return t;
}

} // namespace

FakeEngine::FakeEngine() : table_(MakeTable()) {
    current = this;
    kxr::SetEngineTable(&table_);
}

FakeEngine::~FakeEngine() {
    kxr::SetEngineTable(nullptr);
    current = nullptr;
}

FakeEngine* FakeEngine::Current() {
    return current;
}

std::vector<EngineCall> FakeEngine::Calls() const {
    std::lock_guard<std::mutex> hold(lock_);
    return calls_;
}

std::vector<unsigned> FakeEngine::Ordinals() const {
    std::lock_guard<std::mutex> hold(lock_);
    std::vector<unsigned> ordinals;
    for (const EngineCall& call : calls_)
        ordinals.push_back(call.ordinal);
    return ordinals;
}

bool FakeEngine::ChangedState() const {
    for (const EngineCall& call : Calls()) {
        switch (call.ordinal) {
        case kOrdPlay:
        case kOrdPlayAtSpeed:
        case kOrdLoadClip:
        case kOrdPause:
        case kOrdSeek:
        case kOrdSeekRelative:
        case kOrdStop:
        case kOrdRecord:
        case kOrdRecordStop:
        case kOrdEject:
        case kOrdSetMode:
        case kOrdSetErrorLog:
            return true;
        case kOrdMediaCmd:
            if (call.args[1] != kCmdGetState && call.args[1] != kCmdGetValue &&
                call.args[1] != kCmdValueSupported)
                return true;
            break;
        default:
            break;
        }
    }
    return false;
}

void FakeEngine::Clear() {
    std::lock_guard<std::mutex> hold(lock_);
    calls_.clear();
}

void FakeEngine::SetResult(unsigned ordinal, int64_t value) {
    std::lock_guard<std::mutex> hold(lock_);
    results_[ordinal] = value;
}

void FakeEngine::SetText(unsigned ordinal, const std::string& text) {
    std::lock_guard<std::mutex> hold(lock_);
    texts_[ordinal] = text;
}

void FakeEngine::Record(unsigned ordinal, std::vector<int64_t> args, std::string text) {
    std::lock_guard<std::mutex> hold(lock_);
    calls_.push_back(EngineCall{ordinal, std::move(args), std::move(text)});
}

int64_t FakeEngine::Result(unsigned ordinal) const {
    std::lock_guard<std::mutex> hold(lock_);
    const auto it = results_.find(ordinal);
    return it != results_.end() ? it->second : 0;
}

void FakeEngine::WriteText(unsigned ordinal, char* out, size_t capacity) const {
    if (out == nullptr || capacity == 0)
        return;
    std::lock_guard<std::mutex> hold(lock_);
    const auto it = texts_.find(ordinal);
    const std::string text = it != texts_.end() ? it->second : std::string();
    const size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

} // namespace kxrtest

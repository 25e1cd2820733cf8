#include "tests/support/fake_engine.h"

#include <cstring>
#include <set>

#include "binding/engine_binding.h"

namespace kxrtest {

namespace {

int64_t Done(unsigned ordinal, std::vector<int64_t> args, const char* text = nullptr) {
    FakeEngine* fake = FakeEngine::Current();
    fake->Record(ordinal, std::move(args),
                 text != nullptr ? std::string(text, strnlen(text, 8)) : "");
    return fake->Result(ordinal);
}

void Text(unsigned ordinal, char* out, size_t capacity) {
    FakeEngine::Current()->WriteText(ordinal, out, capacity);
}

constexpr auto I32 = [](int64_t v) { return static_cast<int32_t>(v); };
constexpr auto U32 = [](int64_t v) { return static_cast<uint32_t>(v); };

EngineTable MakeTable() {
    EngineTable t{};
    t.getChannelCount = [] { return U32(Done(kOrdGetChannelCount, {})); };
    t.getInternalChannelCount = [] { return U32(Done(kOrdGetInternalChannelCount, {})); };
    t.getChannelName = [](int32_t c, char* out) {
        return Text(kOrdGetChannelName, out, kEngineNameSize), I32(Done(kOrdGetChannelName, {c}));
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
#define KXR_FAKE_TEXT(field, ordinal)                                                              \
    t.field = [](int32_t c, char* out) {                                                           \
        return Text(ordinal, out, kEngineShortTextSize), I32(Done(ordinal, {c}));                  \
    };
    KXR_FAKE_TEXT(getCurrentClip, kOrdGetCurrentClip)
    KXR_FAKE_TEXT(getPositionText, kOrdGetPositionText)
    KXR_FAKE_TEXT(getStateText, kOrdGetStateText)
#undef KXR_FAKE_TEXT
    t.getNextClip = [](int32_t c, char* clip) {
        const int64_t r = Done(kOrdGetNextClip, {c}, clip);
        Text(kOrdGetNextClip, clip, kEngineClipNameSize);
        return I32(r);
    };
    t.getClipInfo = [](int32_t c, const char* clip, int32_t*, int32_t*, uint32_t*, uint32_t*,
                       uint32_t*, char* file) {
        return Text(kOrdGetClipInfo, file, kEngineNameSize), I32(Done(kOrdGetClipInfo, {c}, clip));
    };
    t.timelineRewind = [](int32_t c) { return I32(Done(kOrdTimelineRewind, {c})); };
    t.timelineNext = [](int32_t c, int32_t*, int32_t*, int32_t*, uint32_t*, uint32_t*, uint32_t*,
                        uint32_t*, char* file, uint32_t r) {
        return Text(kOrdTimelineNext, file, kEngineNameSize), U32(Done(kOrdTimelineNext, {c, r}));
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
    t.errorLogCount = [](uint32_t* count) { return *count = U32(Done(kOrdErrorLogCount, {})), 0; };
    t.errorLogLength = [](uint32_t* index, uint32_t* length) {
        return *length = U32(Done(kOrdErrorLogLength, {*index})), 0;
    };
    t.errorLogRead = [](uint32_t* index, int32_t*, char* text, uint16_t*, uint16_t*, uint16_t*,
                        uint16_t*, uint16_t*, uint16_t*, uint16_t*) {
        return Text(kOrdErrorLogRead, text, kEngineNameSize), I32(Done(kOrdErrorLogRead, {*index}));
    };
    // No texts: the callers' fallbacks.
    t.getRevisionText = []() -> char* { return Done(kOrdGetRevisionText, {}), nullptr; };
    t.getMediaRevisionText = []() -> char* { return Done(kOrdGetMediaRevisionText, {}), nullptr; };
    t.getSystemText = [](int32_t c) -> char* { return Done(kOrdGetSystemText, {c}), nullptr; };
    t.freeText = [](char* text) { Done(kOrdFreeText, {text != nullptr ? 1 : 0}); };
    return t;
}

} // namespace

FakeEngine::FakeEngine() : table_(MakeTable()) {
    current_ = this;
    kxr::SetEngineTable(&table_);
}

FakeEngine::~FakeEngine() {
    kxr::SetEngineTable(nullptr);
    current_ = nullptr;
}

std::vector<unsigned> FakeEngine::Ordinals() const {
    Hold hold(lock_);
    std::vector<unsigned> ordinals;
    for (const EngineCall& call : calls_)
        ordinals.push_back(call.ordinal);
    return ordinals;
}

bool FakeEngine::ChangedState() const {
    static const std::set<unsigned> changing = {
        kOrdPlay, kOrdPlayAtSpeed, kOrdLoadClip,   kOrdPause, kOrdSeek,    kOrdSeekRelative,
        kOrdStop, kOrdRecord,      kOrdRecordStop, kOrdEject, kOrdSetMode, kOrdSetErrorLog};
    static const std::set<int64_t> queries = {kCmdGetState, kCmdGetValue, kCmdValueSupported};
    for (const EngineCall& call : Calls())
        if (changing.count(call.ordinal) != 0 ||
            (call.ordinal == kOrdMediaCmd && queries.count(call.args[1]) == 0))
            return true;
    return false;
}

int64_t FakeEngine::Result(unsigned ordinal) const {
    Hold hold(lock_);
    const auto it = results_.find(ordinal);
    return it != results_.end() ? it->second : 0;
}

void FakeEngine::WriteText(unsigned ordinal, char* out, size_t capacity) const {
    if (out == nullptr || capacity == 0)
        return;
    Hold hold(lock_);
    const auto it = texts_.find(ordinal);
    const std::string text = it != texts_.end() ? it->second : std::string();
    const size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

} // namespace kxrtest

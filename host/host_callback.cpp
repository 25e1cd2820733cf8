#include "host/host_callback.h"

#include <atomic>
#include <cstring>

#include "host/host_config.h"
#include "kxr/rvutil.h"
#include "platform/kxr_dynlib.h"

namespace kxrhost {

namespace {

constexpr int32_t kNotHandled = -1;

std::atomic<void*> engineLibrary{nullptr};

bool Contains(const char* text, const char* marker) {
    return std::strstr(text, marker) != nullptr;
}

int32_t Answer(const std::string& body, char** answerOut) {
    char* block = static_cast<char*>(RVAlloc(body.size() + 1));
    if (block == nullptr) {
        return 0;
    }
    std::memcpy(block, body.c_str(), body.size() + 1);
    *answerOut = block;
    return static_cast<int32_t>(body.size());
}

// POSIX engines name one resolver; Windows engines export by number.
template <typename Fn> Fn Proc(void* library, unsigned ordinal) {
    auto resolve = reinterpret_cast<EngineProcByOrdinalFn>(
        kxr::platform::SharedLibrarySymbol(library, KXR_ENGINE_RESOLVER_NAME));
    return reinterpret_cast<Fn>(resolve != nullptr
                                    ? resolve(ordinal)
                                    : kxr::platform::SharedLibraryOrdinal(library, ordinal));
}

} // namespace

void SetHostEngine(void* library) {
    engineLibrary.store(library);
}

std::string RequestLine(const char* requestText) {
    const size_t end = std::strcspn(requestText, "\r\n");
    return std::string(requestText, end);
}

std::string EngineStatusJson() {
    void* library = engineLibrary.load();
    if (library == nullptr) {
        return "{\"engine\":null}";
    }
    auto count = Proc<EngineGetChannelCountFn>(library, kOrdGetChannelCount);
    auto name = Proc<EngineGetChannelNameFn>(library, kOrdGetChannelName);
    auto state = Proc<EngineGetStateTextFn>(library, kOrdGetStateText);
    auto position = Proc<EngineGetPositionTextFn>(library, kOrdGetPositionText);
    auto clip = Proc<EngineGetCurrentClipFn>(library, kOrdGetCurrentClip);
    std::string out = "{\"channels\":[";
    const uint32_t channels = count != nullptr ? count() : 0;
    for (uint32_t c = 0; c < channels; ++c) {
        const auto channel = static_cast<int32_t>(c);
        char nameText[kEngineNameSize] = "";
        char stateText[kEngineShortTextSize] = "";
        char positionText[kEngineShortTextSize] = "";
        char clipText[kEngineShortTextSize] = "";
        if (name != nullptr) {
            name(channel, nameText);
        }
        if (state != nullptr) {
            state(channel, stateText);
        }
        if (position != nullptr) {
            position(channel, positionText);
        }
        if (clip != nullptr) {
            clip(channel, clipText);
        }
        if (c > 0) {
            out.push_back(',');
        }
        out += "{\"channel\":" + std::to_string(c) + ",\"name\":\"" + JsonEscape(nameText) +
               "\",\"state\":\"" + JsonEscape(stateText) + "\",\"position\":\"" +
               JsonEscape(positionText) + "\",\"clip\":\"" + JsonEscape(clipText) + "\"}";
    }
    out += "]}";
    return out;
}

int32_t HostHttpCallback(const char* requestText, char** answerOut) {
    if (requestText == nullptr || answerOut == nullptr) {
        return kNotHandled;
    }
    if (Contains(requestText, "/vorn?request") || Contains(requestText, "/tarvikcmd?")) {
        return Answer("{\"request\":\"" + JsonEscape(RequestLine(requestText)) + "\"}", answerOut);
    }
    if (Contains(requestText, "/config?")) {
        return Answer(ConfigAsJson(), answerOut);
    }
    if (Contains(requestText, "/monitor/")) {
        return Answer(EngineStatusJson(), answerOut);
    }
    return kNotHandled;
}

} // namespace kxrhost

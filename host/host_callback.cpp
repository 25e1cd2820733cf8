#include "host/host_callback.h"

#include <atomic>
#include <cstring>

#include <nlohmann/json.hpp>

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

// An engine's text block, read no further than its end.
template <size_t N> std::string Terminated(const char (&block)[N]) {
    return std::string(block, strnlen(block, N));
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
        return DumpJson(nlohmann::ordered_json{{"engine", nullptr}});
    }
    auto count = Proc<EngineGetChannelCountFn>(library, kOrdGetChannelCount);
    auto name = Proc<EngineGetChannelNameFn>(library, kOrdGetChannelName);
    auto state = Proc<EngineGetStateTextFn>(library, kOrdGetStateText);
    auto position = Proc<EngineGetPositionTextFn>(library, kOrdGetPositionText);
    auto clip = Proc<EngineGetCurrentClipFn>(library, kOrdGetCurrentClip);
    nlohmann::ordered_json channels = nlohmann::ordered_json::array();
    const uint32_t channelCount = count != nullptr ? count() : 0;
    for (uint32_t c = 0; c < channelCount; ++c) {
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
        channels.push_back({{"channel", c},
                            {"name", Terminated(nameText)},
                            {"state", Terminated(stateText)},
                            {"position", Terminated(positionText)},
                            {"clip", Terminated(clipText)}});
    }
    return DumpJson(nlohmann::ordered_json{{"channels", std::move(channels)}});
}

int32_t HostHttpCallback(const char* requestText, char** answerOut) {
    if (requestText == nullptr || answerOut == nullptr) {
        return kNotHandled;
    }
    if (Contains(requestText, "/vorn?request") || Contains(requestText, "/tarvikcmd?")) {
        return Answer(DumpJson(nlohmann::ordered_json{{"request", RequestLine(requestText)}}),
                      answerOut);
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

#include "rest/rest_channels.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>

#include "answer/timecode_names.h"
#include "binding/engine_binding.h"
#include "kxr/tempex.h"
#include "media/clip_answers.h"
#include "media/media_cmd.h"
#include "rest/rest_errors.h"
#include "rest/rest_events.h"
#include "rest/rest_handlers.h"
#include "rest/rest_request.h"
#include "rest/rest_section.h"

namespace kxr::rest {

namespace {

// Engine speeds beyond this factor are clamped by the engine anyway.
constexpr double kSpeedFactorMax = 100.0;
constexpr size_t kChannelDigitsMax = 4;

// The members a transport body may have, as bits.
enum Member : unsigned { kPosition = 1, kSpeed = 2, kClip = 4, kLoop = 8 };

struct Action {
    const char* name;
    uint32_t cmd;
    uint32_t flags;
    unsigned allowed;
    unsigned required;
};

// seek cues the position and holds there: a pause with a position.
constexpr Action kActions[] = {
    {"play", kCmdPlay, 0, kPosition | kSpeed | kClip | kLoop, 0},
    {"shuttle", kCmdPlay, MCF_ISSHUTTLE, kPosition | kSpeed, kSpeed},
    {"seek", kCmdPause, 0, kPosition, kPosition},
    {"stop", kCmdStop, 0, kPosition, 0},
    {"pause", kCmdPause, 0, kPosition, 0},
    {"record", kCmdRecord, 0, 0, 0},
    {"eject", kCmdEject, 0, 0, 0},
};

struct MemberName {
    const char* name;
    Member bit;
};
constexpr MemberName kMembers[] = {
    {"position", kPosition}, {"speed", kSpeed}, {"clip", kClip}, {"loop", kLoop}};

const char* ModeName(int32_t mode) {
    switch (mode) {
    case 0:
        return "server";
    case 1:
        return "vtr";
    case 2:
        return "single";
    case 3:
        return "film";
    default:
        return "unknown";
    }
}

std::string TcTypeText(uint32_t code) {
    char name[kTcTypeNameRoom] = {};
    TcTypeName(nullptr, code, name);
    return name[0] != '\0' ? std::string(name) : std::to_string(code);
}

std::string Lowered(const char* text) {
    std::string out = text;
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool Refuse(std::string* reason, std::string text) {
    *reason = std::move(text);
    return false;
}

bool ReadPosition(const Json& value, uint32_t tcType, int32_t* frames, std::string* reason) {
    if (value.is_string()) {
        const std::string text = value.get<std::string>();
        if (TcTextToFrames(text.c_str(), tcType | kTcReadFlags, frames) != 1 || *frames < 0)
            return Refuse(reason, "position \"" + text + "\" is not a timecode of this channel.");
        return true;
    }
    if (value.is_number_unsigned() &&
        value.get<uint64_t>() <= static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
        *frames = static_cast<int32_t>(value.get<uint64_t>());
        return true;
    }
    return Refuse(reason, "position is a timecode text or a frame count from 0.");
}

bool ReadSpeed(const Json& value, int32_t* speed, std::string* reason) {
    if (!value.is_number())
        return Refuse(reason, "speed is a number: 1 is normal play, -1 reverse.");
    const double factor = value.get<double>();
    if (!std::isfinite(factor) || std::fabs(factor) > kSpeedFactorMax)
        return Refuse(reason, "speed lies between -100 and 100.");
    *speed = static_cast<int32_t>(std::lround(factor * ENGINE_NORMAL_SPEED));
    return true;
}

bool ReadClip(const Json& value, std::string* clip, std::string* reason) {
    if (!value.is_string())
        return Refuse(reason, "clip is a clip name.");
    *clip = value.get<std::string>();
    if (clip->empty() || clip->size() > kMediaCmdClipNameLength)
        return Refuse(reason, "a clip name has 1 to 8 characters.");
    for (const char c : *clip)
        if (static_cast<unsigned char>(c) < 0x20)
            return Refuse(reason, "a clip name has no control characters.");
    return true;
}

} // namespace

Json ChannelJson(int32_t channel) {
    const EngineTable& engine = Engine();
    char name[kEngineNameSize] = {};
    engine.getChannelName(channel, name);
    name[kEngineNameSize - 1] = '\0';
    char state[kEngineShortTextSize] = {};
    engine.getStateText(channel, state);
    state[kEngineShortTextSize - 1] = '\0';
    char clip[kEngineShortTextSize] = {};
    engine.getCurrentClip(channel, clip);
    clip[kEngineShortTextSize - 1] = '\0';
    const int32_t speed = engine.getSpeed(channel);
    const int32_t frames = engine.getFrame(channel);
    const uint32_t tcType = engine.getTcType(channel);
    char timecode[TEMPEX_TEXT_SIZE + 1] = {};
    TcFramesToText(frames, tcType | kTcWriteFlags, timecode);
    return Json{
        {"index", channel},
        {"name", name},
        {"mode", ModeName(engine.getMode(channel))},
        {"state", state[0] != '\0' ? Lowered(state) : std::string("unknown")},
        {"speed", static_cast<double>(speed) / ENGINE_NORMAL_SPEED},
        {"position", {{"timecode", timecode}, {"frames", frames}, {"tcType", TcTypeText(tcType)}}},
        {"clip", clip[0] != '\0' ? Json(clip) : Json(nullptr)},
        {"lastChange", engine.getLastChangeMs(channel, ENGINE_NO_VALUE, 0)}};
}

std::optional<int32_t> ReadChannelIndex(std::string_view text) {
    const std::optional<uint64_t> value = ReadDigits(text, kChannelDigitsMax);
    if (!value || *value >= Engine().getChannelCount())
        return std::nullopt;
    return static_cast<int32_t>(*value);
}

bool ParseTransport(std::string_view body, uint32_t tcType, TransportCommand* out,
                    std::string* reason) {
    const Json document = Json::parse(body, nullptr, false);
    if (document.is_discarded())
        return Refuse(reason, "The body is not JSON.");
    if (!document.is_object())
        return Refuse(reason, "The body is a JSON object.");
    const auto action = document.find("action");
    if (action == document.end() || !action->is_string())
        return Refuse(reason, "action names what to do: play, stop, pause, record, eject, seek "
                              "or shuttle.");
    const std::string word = action->get<std::string>();
    const Action* rule = nullptr;
    for (const Action& candidate : kActions)
        if (word == candidate.name)
            rule = &candidate;
    if (rule == nullptr)
        return Refuse(reason, "Unknown action \"" + word + "\".");

    unsigned given = 0;
    for (const auto& [key, value] : document.items()) {
        if (key == "action")
            continue;
        const MemberName* member = nullptr;
        for (const MemberName& candidate : kMembers)
            if (key == candidate.name)
                member = &candidate;
        if (member == nullptr)
            return Refuse(reason, "Unknown member \"" + key + "\".");
        if ((rule->allowed & member->bit) == 0)
            return Refuse(reason, key + " does not go with " + word + ".");
        given |= member->bit;
    }
    for (const MemberName& member : kMembers)
        if ((rule->required & member.bit) != 0 && (given & member.bit) == 0)
            return Refuse(reason, word + " needs " + member.name + ".");

    TransportCommand command;
    command.cmd = rule->cmd;
    command.flags = rule->flags;
    if ((given & kPosition) != 0) {
        if (!ReadPosition(document.at("position"), tcType, &command.position, reason))
            return false;
        command.flags |= MCF_POSITION_ABS;
    }
    if ((given & kSpeed) != 0) {
        if (!ReadSpeed(document.at("speed"), &command.speed, reason))
            return false;
        command.flags |= MCF_SPEED;
    }
    if ((given & kClip) != 0) {
        if (!ReadClip(document.at("clip"), &command.clip, reason))
            return false;
        command.flags |= MCF_TEXT;
    }
    if ((given & kLoop) != 0) {
        if (!document.at("loop").is_boolean())
            return Refuse(reason, "loop is true or false.");
        if (document.at("loop").get<bool>())
            command.flags |= MCF_LOOP;
    }
    *out = std::move(command);
    return true;
}

void FillTransportRecord(const TransportCommand& command, int32_t channel, MediaCmd* record) {
    InitMediaCmd(record);
    record->channel = channel;
    record->cmd = command.cmd;
    record->flags = command.flags;
    if ((command.flags & MCF_POSITION_ABS) != 0)
        record->position = command.position;
    if ((command.flags & MCF_SPEED) != 0)
        record->speed = command.speed;
    if ((command.flags & MCF_TEXT) != 0)
        std::memcpy(record->text, command.clip.data(),
                    std::min(command.clip.size(), static_cast<size_t>(kMediaCmdClipNameLength)));
}

Response HandleChannels(const Request& /*request*/, const Captures& /*captures*/) {
    Json channels = Json::array();
    {
        SectionLock section;
        const uint32_t count = Engine().getChannelCount();
        for (uint32_t channel = 0; channel < count; ++channel)
            channels.push_back(ChannelJson(static_cast<int32_t>(channel)));
    }
    return JsonResponse(Json{{"channels", std::move(channels)}});
}

Response HandleChannel(const Request& /*request*/, const Captures& captures) {
    SectionLock section;
    const std::optional<int32_t> channel = ReadChannelIndex(captures[0]);
    if (!channel)
        return Problem(404, "There is no channel " + captures[0] + ".");
    return JsonResponse(ChannelJson(*channel));
}

Response HandleTransport(const Request& request, const Captures& captures) {
    const std::string_view type = request.Header("Content-Type");
    if (type.substr(0, type.find(';')) != kJsonType)
        return Problem(415, "A transport command is sent as application/json.");
    Response response;
    {
        SectionLock section;
        const std::optional<int32_t> channel = ReadChannelIndex(captures[0]);
        if (!channel)
            return Problem(404, "There is no channel " + captures[0] + ".");
        TransportCommand command;
        std::string reason;
        if (!ParseTransport(request.body, GetChannelTcType(*channel), &command, &reason))
            return Problem(400, reason);
        MediaCmd record;
        if ((command.flags & MCF_TEXT) != 0 &&
            !AskClipInfo(*channel, command.clip.c_str(), &record))
            return Problem(404,
                           "Channel " + captures[0] + " has no clip \"" + command.clip + "\".");
        const ErrorLogMark before = MarkErrorLog();
        FillTransportRecord(command, *channel, &record);
        if (SendMediaCmd(*channel, &record) < 0) {
            const std::optional<std::string> why =
                MarkErrorLog() != before ? LatestErrorText() : std::nullopt;
            response = Problem(409, why.value_or("The engine refused the command."));
        } else {
            response = JsonResponse(ChannelJson(*channel));
        }
    }
    SampleSoon();
    return response;
}

} // namespace kxr::rest

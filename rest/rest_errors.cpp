#include "rest/rest_errors.h"

#include <cstdio>

#include "binding/engine_binding.h"
#include "media/error_answers.h"
#include "rest/rest_handlers.h"
#include "rest/rest_section.h"

namespace kxr::rest {

namespace {

constexpr size_t kStampDigitsMax = 10;

uint32_t MessageCount() {
    uint32_t count = 0;
    Engine().errorLogCount(&count);
    return count;
}

// {"index","code","time","message"}; the time is the engine's wall clock,
// without a zone.
Json MessageJson(uint32_t index, const ErrorLogMessage& message) {
    const uint16_t* t = message.time;
    char time[48];
    std::snprintf(time, sizeof time, "%04u-%02u-%02uT%02u:%02u:%02u.%02u", t[0], t[1], t[2], t[3],
                  t[4], t[5], t[6]);
    return Json{
        {"index", index}, {"code", message.code}, {"time", time}, {"message", message.text}};
}

// The newest message of a log of count messages.
std::optional<ErrorLogMessage> Newest(uint32_t count) {
    if (count == 0)
        return std::nullopt;
    auto messages = ReadErrorMessages(count - 1, 1);
    if (messages.empty())
        return std::nullopt;
    return std::move(messages.front());
}

} // namespace

Json ErrorsEventJson() {
    const uint32_t count = MessageCount();
    const std::optional<ErrorLogMessage> newest = Newest(count);
    return Json{{"lastChange", Engine().getErrorLogMs()},
                {"count", count},
                {"latest", newest ? MessageJson(count - 1, *newest) : Json(nullptr)}};
}

std::optional<std::string> LatestErrorText() {
    std::optional<ErrorLogMessage> newest = Newest(MessageCount());
    if (!newest)
        return std::nullopt;
    return std::move(newest->text);
}

ErrorLogMark MarkErrorLog() {
    return ErrorLogMark{Engine().getErrorLogMs(), MessageCount()};
}

Response HandleErrors(const Request& request, const Captures& /*captures*/) {
    std::optional<uint32_t> since;
    if (const QueryParameter* parameter = request.Parameter("since")) {
        const std::optional<uint64_t> stamp = ReadDigits(parameter->value, kStampDigitsMax);
        if (!stamp || *stamp > 0xFFFFFFFFu)
            return Problem(400, "since is a lastChange value: a number from 0 to 4294967295.");
        since = static_cast<uint32_t>(*stamp);
    }
    Json errors = Json::array();
    uint32_t stamp = 0;
    uint32_t count = 0;
    {
        SectionLock section;
        stamp = Engine().getErrorLogMs();
        count = MessageCount();
        // The log carries no stamp per message: an answer is the whole log,
        // or nothing while the log is as it was at since.
        if (!since || *since != stamp) {
            uint32_t index = 0;
            for (const ErrorLogMessage& message : ReadErrorMessages(0, count))
                errors.push_back(MessageJson(index++, message));
        }
    }
    return JsonResponse(
        Json{{"lastChange", stamp}, {"count", count}, {"errors", std::move(errors)}});
}

} // namespace kxr::rest

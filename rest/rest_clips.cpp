#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "answer/module_section.h"
#include "answer/my_http_client.h"
#include "answer/timecode_names.h"
#include "binding/engine_binding.h"
#include "files/file_roots.h"
#include "kxr/rvutil.h"
#include "kxr/tempex.h"
#include "media/clip_answers.h"
#include "media/media_cmd.h"
#include "rest/rest_channels.h"
#include "rest/rest_handlers.h"
#include "rest/rest_request.h"
#include "rest/rest_section.h"

namespace kxr::rest {

namespace {

// A clip walk that never comes back to its start still ends.
constexpr size_t kClipWalkLimit = 10000;
constexpr size_t kFileNameIndex = kMediaCmdFileNameOffset - kMediaCmdTextOffset;

// The channel of a clip request: "channel=" or 0. Called under the section.
std::optional<int32_t> ClipChannel(const Request& request) {
    const QueryParameter* parameter = request.Parameter("channel");
    return ReadChannelIndex(parameter != nullptr ? parameter->value : "0");
}

Response NoChannel(const Request& request) {
    const QueryParameter* parameter = request.Parameter("channel");
    return Problem(404,
                   "There is no channel " + (parameter != nullptr ? parameter->value : "0") + ".");
}

// What a path segment keeps unescaped.
bool IsUnreserved(unsigned char c) {
    return std::isalnum(c) != 0 || c == '-' || c == '_' || c == '.' || c == '~';
}

// {"name","length":{"timecode","frames"},"file","picon"} from a clip record
// that AskClipInfo filled. The file is a locator below one of the roots, or
// null for a clip without a file there.
Json ClipJson(int32_t channel, uint32_t tcType, MediaCmd* record) {
    const std::string name(record->text, strnlen(record->text, kMediaCmdClipNameLength));
    const int32_t frames = record->end - record->start;
    char timecode[TEMPEX_TEXT_SIZE + 1] = {};
    TcFramesToText(frames, tcType | kTcWriteFlags, timecode);
    char file[kMapWorkSize] = {};
    std::strncpy(file, record->text + kFileNameIndex, sizeof file - 1);
    MapPathToLocator(&TheHttpClient(), file, sizeof file);
    std::string picon = "/api/v1/clips/" + PercentEncode(name, IsUnreserved) + "/picon";
    if (channel != 0)
        picon += "?channel=" + std::to_string(channel);
    return Json{{"name", name},
                {"length", {{"timecode", timecode}, {"frames", frames}}},
                {"file", file[0] == '\\' ? Json(file) : Json(nullptr)},
                {"picon", picon}};
}

// A strong tag of a picture's bytes (64-bit FNV-1a).
std::string PictureTag(const std::string& bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    char tag[24];
    std::snprintf(tag, sizeof tag, "\"%016llx\"", static_cast<unsigned long long>(hash));
    return tag;
}

// Whether an If-None-Match list names the tag (weakly, as the header asks).
bool TagMatches(std::string_view list, const std::string& tag) {
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string_view::npos)
            end = list.size();
        std::string_view item = list.substr(start, end - start);
        while (!item.empty() && (item.front() == ' ' || item.front() == '\t'))
            item.remove_prefix(1);
        while (!item.empty() && (item.back() == ' ' || item.back() == '\t'))
            item.remove_suffix(1);
        if (item.substr(0, 2) == "W/")
            item.remove_prefix(2);
        if (item == "*" || item == tag)
            return true;
        start = end + 1;
    }
    return false;
}

} // namespace

Response HandleClips(const Request& request, const Captures& /*captures*/) {
    Json clips = Json::array();
    {
        SectionLock section;
        const std::optional<int32_t> channel = ClipChannel(request);
        if (!channel)
            return NoChannel(request);
        const uint32_t tcType = Engine().getTcType(*channel);
        char name[kEngineClipNameSize] = {};
        std::set<std::string> seen;
        for (size_t n = 0; n < kClipWalkLimit; ++n) {
            Engine().getNextClip(*channel, name);
            name[kEngineClipNameSize - 1] = '\0';
            if (name[0] == '\0' || !seen.insert(name).second)
                break;
            MediaCmd record;
            if (AskClipInfo(*channel, name, &record))
                clips.push_back(ClipJson(*channel, tcType, &record));
        }
    }
    return JsonResponse(Json{{"clips", std::move(clips)}});
}

Response HandleClip(const Request& request, const Captures& captures) {
    SectionLock section;
    const std::optional<int32_t> channel = ClipChannel(request);
    if (!channel)
        return NoChannel(request);
    MediaCmd record;
    const std::string& name = captures[0];
    if (name.size() > kMediaCmdClipNameLength || !AskClipInfo(*channel, name.c_str(), &record))
        return Problem(404, "There is no clip \"" + name + "\".");
    return JsonResponse(ClipJson(*channel, Engine().getTcType(*channel), &record));
}

Response HandlePicon(const Request& request, const Captures& captures) {
    const std::string& name = captures[0];
    std::string picture;
    {
        SectionLock section;
        const std::optional<int32_t> channel = ClipChannel(request);
        if (!channel)
            return NoChannel(request);
        MediaCmd record;
        if (name.size() > kMediaCmdClipNameLength || !AskClipInfo(*channel, name.c_str(), &record))
            return Problem(404, "There is no clip \"" + name + "\".");
        char* body = nullptr;
        int32_t length = 0;
        ReadClipPicon(&TheHttpClient(), *channel, name, &body, &length);
        if (body != nullptr) {
            picture.assign(body, static_cast<size_t>(length > 0 ? length : 0));
            RVFree(body);
        }
    }
    if (picture.empty())
        return Problem(404, "Clip \"" + name + "\" has no picture.");
    Response response;
    const std::string tag = PictureTag(picture);
    response.cacheControl = "no-cache";
    response.headers = "ETag: " + tag + "\r\n";
    if (TagMatches(request.Header("If-None-Match"), tag)) {
        response.status = 304;
        response.contentType.clear();
        return response;
    }
    response.contentType = "image/jpeg";
    response.body = std::move(picture);
    return response;
}

} // namespace kxr::rest

#include "answer/my_http_client.h"

#include <cstring>
#include <string>
#include <string_view>

#include "access/request_text.h"
#include "answer/text_codec.h"
#include "api/channel_queries.h"
#include "binding/engine_binding.h"
#include "files/file_roots.h"
#include "kxr/rvutil.h"
#include "kxr/snipr.h"
#include "kxr/tempex.h"
#include "module/dispatch_table.h"

namespace kxr {

uint32_t selectedChannel = 0;

namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (Lower(text[i]) != Lower(prefix[i])) {
            return false;
        }
    }
    return true;
}

bool Contains(const std::string& text, const char* word) {
    return text.find(word) != std::string::npos;
}

// Calls fn for every non-empty piece of text between "&" separators.
template <typename Fn> void ForEachPiece(std::string_view text, Fn fn) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('&', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        if (end > start) {
            fn(text.substr(start, end - start));
        }
        start = end + 1;
    }
}

// The keys of a page query, in the order a piece is tested against them.
enum class PageKey {
    Page,
    Channel,
    Mode,
    Type,
    SetChannel,
    Load,
    Delete,
    Remove,
    Insert,
    ClipId,
    Eject,
    Play,
    Stop,
    Pause,
    Record,
    RecStop,
    Speed,
    Seek,
    SetIn,
    SetOut,
    SetPos
};

struct PageKeyName {
    const char* text;
    PageKey key;
};

constexpr PageKeyName kPageKeys[] = {
    {"page=", PageKey::Page},
    {"channel=", PageKey::Channel},
    {"mode=", PageKey::Mode},
    {"type=", PageKey::Type},
    {"setchannel=", PageKey::SetChannel},
    {"load=", PageKey::Load},
    {"delete=", PageKey::Delete},
    {"remove=", PageKey::Remove},
    {"insert=", PageKey::Insert},
    {"clipid=", PageKey::ClipId},
    {"eject", PageKey::Eject},
    {"play", PageKey::Play},
    {"stop", PageKey::Stop},
    {"pause", PageKey::Pause},
    {"record", PageKey::Record},
    {"recstop", PageKey::RecStop},
    {"speed=", PageKey::Speed},
    {"seek=", PageKey::Seek},
    {"setin=", PageKey::SetIn},
    {"setout=", PageKey::SetOut},
    {"setpos=", PageKey::SetPos},
};

// Clip names arrive as the pages' links write them: percent-encoded.
void CopyClip(char (&clip)[kClipFieldSize], const std::string& value) {
    strcpyClip(clip, DecodeRequestText(value).c_str());
}

} // namespace

void ParseRequestText(const char* text, CHttpRequest& request) {
    const access::ApiRequestText read = access::ReadApiRequestText(text != nullptr ? text : "");
    request.path.assign(read.path);
    request.query.assign(read.query);
    request.clipQuery = request.query;
    request.fileQuery = request.query;
    request.parsed = 1;
}

CHttpRequest::~CHttpRequest() = default;

// The file roots are read once, when the module is loaded.
CMyHttpClient::CMyHttpClient() {
    LoadFileRoots(this);
}

CMyHttpClient::~CMyHttpClient() {
    FreeFileRoots(this);
}

int32_t CMyHttpClient::HandleRequest(const char* requestText, char** bodyOut, int32_t* lengthOut,
                                     CHttpRequest* request) {
    CHttpRequest ownRequest;
    if (request == nullptr) {
        request = &ownRequest;
    }
    ParseRequestText(requestText, *request);
    if (!Contains(request->path, "KXR") && !Contains(request->path, "index")) {
        return 0;
    }
    char* ownBody = nullptr;
    int32_t ownLength = 0;
    if (bodyOut == nullptr) {
        bodyOut = &ownBody;
    }
    if (lengthOut == nullptr) {
        lengthOut = &ownLength;
    }
    *bodyOut = nullptr;
    *lengthOut = 0;

    int32_t result = 0;
    try {
        AnswerBuilder builder = nullptr;
        const std::string& path = request->path;
        if (Contains(path, "KXRXML")) {
            channel = selectedChannel;
            ForEachPiece(request->query, [this](std::string_view piece) {
                if (StartsWithNoCase(piece, "channel=")) {
                    channel = static_cast<uint32_t>(ParseDecimal(piece.substr(8)));
                }
            });
            if (const DispatchEntry* entry =
                    FindCommand(kXmlCommands, kXmlCommandCount, path.c_str())) {
                const bool variant =
                    entry->variantWord != nullptr && Contains(path, entry->variantWord);
                builder = variant ? entry->variant : entry->builder;
            }
        } else if (Contains(path, "KXR")) {
            ParsePageQuery(request);
            if (Contains(path, "PassThrough") || Contains(path, "Page")) {
                builder = AnswerFile;
            } else if (const DispatchEntry* entry =
                           FindCommand(kPageCommands, kPageCommandCount, path.c_str())) {
                builder = entry->builder;
            }
        }
        if (builder != nullptr) {
            result = builder(this, bodyOut, lengthOut, request);
        } else {
            actionFlags = 0;
        }
    } catch (...) {
        // A failed answer sends nothing; the caller serves the path as a file.
        if (*bodyOut != nullptr) {
            RVFree(*bodyOut);
        }
        *bodyOut = nullptr;
        *lengthOut = 0;
        actionFlags = 0;
        result = 0;
    }
    if (bodyOut == &ownBody && ownBody != nullptr) {
        RVFree(ownBody);
    }
    ParseRequestText("", *request);
    request->parsed = 0;
    return result;
}

void CMyHttpClient::Reserved(uint32_t /*first*/, uint32_t /*second*/) {}

int32_t CMyHttpClient::ParsePageQuery(CHttpRequest* request) {
    actionFlags = 0;
    channel = selectedChannel;
    position = 0;
    speed = kNormalSpeed;
    loadOption = 0;
    recordStopValue = kRecordStopValue;
    pageType = 0;
    std::memset(clip, 0, sizeof clip);
    page[0] = '\0';
    if (request == nullptr || request->query.empty()) {
        return 1;
    }
    const EngineTable& engine = Engine();
    auto timecode = [&](const std::string& text) {
        int32_t frames = 0;
        TcTextToFrames(text.c_str(), engine.getTcType(static_cast<int32_t>(channel)), &frames);
        return frames;
    };
    const std::string query = request->query;
    ForEachPiece(query, [&](std::string_view piece) {
        const PageKeyName* match = nullptr;
        for (const PageKeyName& key : kPageKeys) {
            if (StartsWithNoCase(piece, key.text)) {
                match = &key;
                break;
            }
        }
        if (match == nullptr) {
            return;
        }
        const std::string value(piece.substr(std::strlen(match->text)));
        const auto ch = static_cast<int32_t>(channel);
        switch (match->key) {
        case PageKey::Page: {
            // The field holds 259 characters; a longer name is cut.
            const size_t n = value.size() < kPageFieldSize - 1 ? value.size() : kPageFieldSize - 1;
            std::memcpy(page, value.data(), n);
            page[n] = '\0';
            break;
        }
        case PageKey::Channel:
            channel = static_cast<uint32_t>(ParseDecimal(value));
            break;
        case PageKey::Mode:
            engine.setMode(ch, ParseDecimal(value));
            break;
        case PageKey::Type:
            pageType = static_cast<uint32_t>(ParseDecimal(value));
            break;
        case PageKey::SetChannel:
            channel = static_cast<uint32_t>(ParseDecimal(value));
            selectedChannel = channel;
            break;
        case PageKey::Load:
            CopyClip(clip, value);
            engine.loadClip(ch, clip, loadOption);
            actionFlags |= 1;
            break;
        case PageKey::Delete:
        case PageKey::Remove:
        case PageKey::Insert:
        case PageKey::ClipId:
            CopyClip(clip, value);
            break;
        case PageKey::Eject:
            engine.eject(ch);
            break;
        case PageKey::Play:
            if (speed == kNormalSpeed) {
                engine.play(ch);
            } else {
                engine.playAtSpeed(ch, speed, 0xFFFFFFFFu);
            }
            break;
        case PageKey::Stop:
            engine.stop(ch);
            break;
        case PageKey::Pause:
            engine.pause(ch);
            break;
        case PageKey::Record:
            engine.record(ch);
            break;
        case PageKey::RecStop:
            engine.recordStop(ch, value.c_str(), recordStopValue);
            break;
        case PageKey::Speed:
            speed = ParseDecimal(value);
            break;
        case PageKey::Seek:
            if (!value.empty() && (value[0] == '+' || value[0] == '-' || value[0] == ' ')) {
                int32_t frames = timecode(value.substr(1));
                if (value[0] == '-') {
                    frames = static_cast<int32_t>(0u - static_cast<uint32_t>(frames));
                }
                engine.seekRelative(ch, frames);
            } else {
                position = static_cast<uint32_t>(timecode(value));
                engine.seek(ch, static_cast<int32_t>(position));
            }
            break;
        case PageKey::SetIn:
        case PageKey::SetOut:
        case PageKey::SetPos:
            position = static_cast<uint32_t>(timecode(value));
            break;
        }
    });
    return 1;
}

} // namespace kxr

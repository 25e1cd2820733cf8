#include "media/media_cmd_request.h"

#include <cstring>
#include <string>

#include <tinyxml.h>

#include "access/containment.h"
#include "answer/http_request.h"
#include "answer/my_http_client.h"
#include "answer/xml_answer.h"
#include "files/file_roots.h"
#include "httpd/server_settings.h"
#include "kxr/kxrutil.h"
#include "kxr/rvutil.h"
#include "media/media_cmd.h"
#include "platform/kxr_path.h"

namespace kxr {

namespace {

constexpr uint32_t kDefaultAnswerTcType = 2; // non-drop-frame
constexpr size_t kLargeRecordDefaultExtra = 0x1950000;
constexpr size_t kLargeRecordSlack = 4096;
constexpr size_t kPreviewRecordSize = 0x21C0000 + 0x109C;
constexpr size_t kPreviewBodySlack = 4;
constexpr size_t kPathRoom = 260;
constexpr const char* kEventLogName = "eventlog.csv";

constexpr size_t kFileNameAt = kMediaCmdFileNameOffset - kMediaCmdTextOffset;

// The two text fields that carry paths, with the room the standard record
// leaves them.
enum class PathField { kText, kFileName };

char* FieldText(MediaCmd* record, PathField field) {
    return field == PathField::kText ? record->text : record->text + kFileNameAt;
}

size_t FieldRoom(PathField field) {
    constexpr size_t kRoom = kMediaCmdTextSize;
    return field == PathField::kText ? kRoom : kRoom - kFileNameAt;
}

void ToLocalPath(CMyHttpClient* client, MediaCmd* record, PathField field) {
    MapLocatorToPath(client, FieldText(record, field), FieldRoom(field));
}

void ToLocator(CMyHttpClient* client, MediaCmd* record, PathField field) {
    MapPathToLocator(client, FieldText(record, field), FieldRoom(field));
}

bool IsValueCommand(uint32_t cmd) {
    return cmd == kCmdGetValue || cmd == kCmdSetValue || cmd == kCmdValueSupported;
}

// Client paths in the record become local paths before the engine sees them.
void TranslateInbound(CMyHttpClient* client, MediaCmd* record) {
    switch (record->cmdAlt) {
    case 50003:
    case 1000000:
    case 1100003: {
        // A range form (name[first-last].ext) stands for a whole sequence:
        // the engine wants its wildcard form.
        const char* name = FieldText(record, PathField::kFileName);
        const char* bracket = std::strchr(name, ']');
        bool rangeForm = bracket != nullptr && bracket[1] == '.';
        ToLocalPath(client, record, PathField::kFileName);
        if (rangeForm) {
            SequenceWildcardPath(client, FieldText(record, PathField::kFileName),
                                 FieldRoom(PathField::kFileName));
        }
        break;
    }
    case 100001:
    case 100002:
    case 100003:
    case 100004:
    case 50017:
    case 158:
    case 50012:
    case 1000005:
    case 1000006:
    case 170:
        ToLocalPath(client, record, PathField::kFileName);
        break;
    case 1100001:
    case 1100002:
    case 1004:
        ToLocalPath(client, record, PathField::kText);
        break;
    default:
        break;
    }
}

// Local paths the engine wrote back become client locators.
void TranslateOutbound(CMyHttpClient* client, MediaCmd* record) {
    switch (record->cmdAlt) {
    case 1004:
    case 1000000:
    case 100001:
    case 100002:
    case 100003:
    case 100004:
        ToLocator(client, record, PathField::kText);
        break;
    case 1000005:
    case 1000006:
    case 170:
    case 50012:
    case 50017:
        ToLocator(client, record, PathField::kFileName);
        break;
    case 166:
        if ((record->flags & MCF_ALLIDS) != 0) {
            ToLocator(client, record, PathField::kText);
        }
        break;
    default:
        break;
    }
}

// Where the text field carries a path rather than a clip name: the values
// that take one there, and a picon asked for by a name longer than a clip's.
bool TextIsPath(const MediaCmd& record, size_t textLength) {
    return record.cmdAlt == 1100001 || record.cmdAlt == 1100002 || record.cmdAlt == 1004 ||
           (record.cmdAlt == kValuePicon && textLength > kMediaCmdClipNameLength);
}

// True when a file the client names in the record lies outside the roots:
// the file-name field, which commands such as Transfer read as it stands,
// and the text field where it holds a path. A value that works on the
// current clip uses neither.
bool NamesFileOutside(MediaCmd* record) {
    const bool value = IsValueCommand(record->cmd);
    if (value && (record->flags & MCF_USINGCURRENT) != 0) {
        return false;
    }
    const std::string text(record->text, strnlen(record->text, FieldRoom(PathField::kText)));
    if (value && TextIsPath(*record, text.size()) && !text.empty() && !access::IsCreatable(text)) {
        return true;
    }
    const char* field = FieldText(record, PathField::kFileName);
    const std::string file(field, strnlen(field, FieldRoom(PathField::kFileName)));
    return !file.empty() && !access::IsCreatable(file);
}

// The engine never sees a file outside the roots: the record comes back as
// the engine leaves it for a name it cannot find.
void SendUnlessOutside(MediaCmd* record) {
    if (NamesFileOutside(record)) {
        record->position = -1;
        record->start = -1;
        record->end = -1;
        return;
    }
    SendMediaCmd(record->channel, record);
}

void CopyCut(char* out, size_t room, const char* text) {
    size_t length = std::strlen(text);
    if (length >= room) {
        length = room - 1;
    }
    std::memcpy(out, text, length);
    out[length] = '\0';
}

// The engine wrote its event log where it likes; a copy in the document root
// can be fetched as a static file. A text the engine left as the client sent
// it (askedText) names no log of the engine's, and is copied only from
// within the roots.
void PublishEventLog(CMyHttpClient* client, MediaCmd* record, const std::string& askedText) {
    char source[kPathRoom];
    char target[kPathRoom];
    CopyCut(source, sizeof(source), record->text);
    const char* root = httpd::GetServerSettings().documentRoot;
    std::string targetText = root != nullptr ? root : "";
    // A root configured without its trailing separator still gets the copy
    // inside it, where a static GET finds it.
    if (!targetText.empty() && !platform::IsPathSeparator(targetText.back())) {
        targetText += platform::kPathSeparator;
    }
    targetText += kEventLogName;
    CopyCut(target, sizeof(target), targetText.c_str());
    if (askedText.substr(0, sizeof(source) - 1) != source || access::IsReachable(source)) {
        rvOSCopyFile(source, target, 0);
    }
    CopyCut(record->text, kPathRoom, kEventLogName);
    if ((record->flags & MCF_USINGCURRENT) == 0) {
        ToLocator(client, record, PathField::kText);
    }
}

// Value code 1000007 wants a record with room behind it; the caller releases
// the result with RVFree. Null when no memory is left.
MediaCmd* MakeLargeRecord(const MediaCmd& prepared) {
    size_t extra = kLargeRecordDefaultExtra;
    int32_t videoChannels = static_cast<int32_t>(prepared.videoChannels);
    if ((prepared.flags & MCF_CHANNELS) != 0 && videoChannels > 0) {
        extra = static_cast<size_t>(videoChannels) + kLargeRecordSlack;
    }
    size_t size = kMediaCmdStandardSize + extra;
    auto* large = static_cast<MediaCmd*>(RVAlloc(size));
    if (large == nullptr) {
        return nullptr;
    }
    std::memcpy(large, &prepared, kMediaCmdStandardSize);
    large->size = static_cast<uint32_t>(size);
    return large;
}

void RunGetState(MediaCmd* record, int32_t channel) {
    bool withChannels = (record->flags & MCF_CHANNELS) != 0;
    uint32_t values[3] = {};
    if (withChannels) {
        const int32_t codes[3] = {kValueVideoChannels, kValueAudioChannels, kValueInfoChannels};
        record->cmd = kCmdGetValue;
        for (int i = 0; i < 3; ++i) {
            record->cmdAlt = codes[i];
            SendMediaCmd(record->channel, record);
            values[i] = static_cast<uint32_t>(record->position);
        }
    }
    record->cmd = kCmdGetState;
    SendMediaCmd(record->channel, record);
    record->channel = channel;
    if (withChannels) {
        record->videoChannels = values[0];
        record->audioChannels = values[1];
        record->infoChannels = values[2];
        record->flags |= MCF_USEFRAMECOUNT;
    }
}

} // namespace

int32_t HandleMediaCmdRequest(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                              CHttpRequest* request) {
    MediaCmd prepared;
    InitMediaCmd(&prepared);
    prepared.channel = static_cast<int32_t>(client->channel);
    uint32_t tcType = kDefaultAnswerTcType;
    MediaCmd* record = &prepared;
    MediaCmd* large = nullptr;

    if (MediaCmdFromQuery(client, &prepared, request) != 0 && prepared.cmd != kCmdError) {
        int32_t channel = prepared.channel;
        tcType = GetChannelTcType(channel);
        bool usingCurrent = (prepared.flags & MCF_USINGCURRENT) != 0;
        bool valueCommand = IsValueCommand(prepared.cmd);
        if (valueCommand && !usingCurrent) {
            if (prepared.cmdAlt == kValueLargeRecord) {
                large = MakeLargeRecord(prepared);
                if (large == nullptr) {
                    return 0;
                }
                record = large;
            } else {
                TranslateInbound(client, record);
            }
        }
        if (record->cmd != kCmdGetState) {
            const std::string askedText(record->text,
                                        strnlen(record->text, FieldRoom(PathField::kText)));
            SendUnlessOutside(record);
            record->channel = channel;
            if (valueCommand) {
                if (!usingCurrent) {
                    TranslateOutbound(client, record);
                }
                if (record->cmdAlt == kValueEventLog) {
                    PublishEventLog(client, record, askedText);
                }
            }
        } else {
            RunGetState(record, channel);
        }
    }

    TiXmlDocument document;
    MediaCmdToXML(&document, record, tcType);
    std::string printed = PrintCompact(document);
    // The body has room for twice the printed text.
    MakeAnswerBody(printed, bodyOut, lengthOut, printed.empty() ? 1 : printed.size());
    if (large != nullptr) {
        RVFree(large);
    }
    return 1;
}

int32_t HandleMediaPreviewRequest(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                                  CHttpRequest* request) {
    auto* record = static_cast<MediaCmd*>(RVAlloc(kPreviewRecordSize));
    if (record == nullptr) {
        MakeAnswerBody(std::string(), bodyOut, lengthOut);
        return 1;
    }
    InitMediaCmd(record);
    record->size = static_cast<uint32_t>(kPreviewRecordSize);
    MediaCmdFromQuery(client, record, request);
    if (NamesFileOutside(record)) {
        // Nothing written: the answer is empty, as without a picture.
        record->size = kMediaCmdTextOffset;
    } else {
        SendMediaCmd(record->channel, record);
    }

    // The engine leaves size at 76 + the bytes it wrote; never trust it past
    // the block.
    size_t size = record->size;
    if (size > kPreviewRecordSize) {
        size = kPreviewRecordSize;
    }
    size_t written = size > kMediaCmdTextOffset ? size - kMediaCmdTextOffset : 0;
    MakeAnswerBody(std::string(record->text, written), bodyOut, lengthOut, kPreviewBodySlack);
    RVFree(record);
    return 1;
}

} // namespace kxr

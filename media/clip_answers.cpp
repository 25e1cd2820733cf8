#include "media/clip_answers.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "access/containment.h"
#include "answer/http_request.h"
#include "answer/my_http_client.h"
#include "answer/text_codec.h"
#include "answer/timecode_names.h"
#include "answer/xml_answer.h"
#include "binding/engine_binding.h"
#include "files/file_roots.h"
#include "kxr/kxrutil.h"
#include "kxr/mediacmd.h"
#include "kxr/rvutil.h"
#include "kxr/snipr.h"
#include "kxr/tempex.h"
#include "media/media_cmd.h"

namespace kxr {

namespace {

// Index of the file-name field inside the record's text area.
constexpr size_t kFileNameIndex = kMediaCmdFileNameOffset - kMediaCmdTextOffset;
constexpr size_t kTcNameSize = 16;
constexpr uint32_t kClipValueFlags = MCF_TEXT | MCF_CMDALT;                    // 0x12000
constexpr uint32_t kEntryFlags = MCF_CMDALT | MCF_POSITION_ABS | MCF_CHANNELS; // 0x10060
constexpr uint32_t kErrorTcType = kTcNonDrop;
constexpr int32_t kVtrMode = 1;
// Room for a name that the path translations may lengthen (their results
// stop at 523 characters) and for what they read behind it.
constexpr size_t kPathWorkSize = 1024;
// A picture is read into a body this much larger than the file.
constexpr uint32_t kPiconSlack = 4096;

// The query as the clip answers work on it: at most 259 characters.
std::string QueryCopy(const CHttpRequest* request) {
    std::string query = request != nullptr ? request->clipQuery : std::string();
    if (query.size() > kClipQuerySize - 1) {
        query.resize(kClipQuerySize - 1);
    }
    return query;
}

// A zero-terminated text of the record's text area, never read past it.
std::string RecordText(const MediaCmd& record, size_t index) {
    if (index >= sizeof record.text) {
        return std::string();
    }
    const char* text = record.text + index;
    return std::string(text, strnlen(text, sizeof record.text - index));
}

std::string ClipFieldText(const MediaCmd& record) {
    return std::string(record.text, strnlen(record.text, kMediaCmdClipNameLength));
}

// Writes text at index, cut to the room left in the text area.
void PutRecordText(MediaCmd* record, size_t index, const char* text) {
    const size_t room = sizeof record->text - index;
    const size_t n = strnlen(text, room - 1);
    std::memcpy(record->text + index, text, n);
    record->text[index + n] = '\0';
}

// The decoded query, cut to the clip-name buffer and to the 8-character width.
void DecodeClipName(const std::string& text, char (&name)[kClipNameBufferSize]) {
    char decoded[kClipQuerySize] = {};
    DecodeRequestText(nullptr, text.c_str(), decoded);
    std::memset(name, 0, sizeof name);
    std::memcpy(name, decoded, strnlen(decoded, sizeof name - 1));
    termClip(name, kMediaCmdClipNameLength);
}

int32_t AnswerWithRecord(const MediaCmd& record, uint32_t tcType, char** bodyOut,
                         int32_t* lengthOut) {
    TiXmlDocument document;
    MediaCmdToXML(&document, &record, tcType);
    return MakeAnswerBody(PrintCompact(document), bodyOut, lengthOut);
}

// Position, Start or End: the frame count in "Value", the type's name in
// "TcType", and as text the timecode (or the plain count for type 0).
void AddFrames(XmlAnswer& answer, const char* name, int32_t frames, uint32_t tcType,
               const char* tcName) {
    char text[TEMPEX_TEXT_SIZE + 16] = {};
    if (tcType != 0) {
        TcFramesToText(frames, tcType | kTcWriteFlags, text);
    } else {
        std::snprintf(text, sizeof text, "%d", frames);
    }
    TiXmlElement* element = answer.AddText(name, text);
    element->SetAttribute("Value", frames);
    element->SetAttribute("TcType", tcName);
}

// The fixed pictures of the engine's special clips.
struct SpecialPicon {
    const char* name;
    const char* picture;
};

constexpr SpecialPicon kSpecialPicons[] = {
    {"::Test", "img\\test.picon.jpg"},     {"::Bars", "img\\test.picon.jpg"},
    {"::VTR_TC", "img\\vtr_tc.picon.jpg"}, {"::Black", "img\\black.picon.jpg"},
    {"::Film", "img\\film.picon.jpg"},     {"::Edit", "img\\edit.picon.jpg"},
};
constexpr const char* kOtherSpecialPicon = "img\\black.picon.jpg";

// The picture of a special clip name, or null for an ordinary name.
const char* SpecialPicture(const char* name) {
    for (const SpecialPicon& special : kSpecialPicons) {
        if (strcmpClip(name, special.name) == 0) {
            return special.picture;
        }
    }
    return IsSpecialClip(name) != 0 ? kOtherSpecialPicon : nullptr;
}

// A requested name as the engine should see it: escapes blanked, a locator
// turned into its local path, a sequence frame into the sequence.
std::string TranslatePiconName(CMyHttpClient* client, const std::string& name) {
    char work[kPathWorkSize] = {};
    std::memcpy(work, name.data(), std::min(name.size(), kClipQuerySize - 1));
    BlankPercentEscapes(work);
    MapLocatorToPath(client, work, sizeof work);
    SequenceWildcardPath(client, work, sizeof work);
    work[sizeof work - 1] = '\0';
    return work;
}

// Fills the name fields of a picon record. A name of up to 8 characters may
// be a clip and goes to both fields; a longer one can only be a file and
// stays in the file-name field, so the two never run into each other.
void PlacePiconName(CMyHttpClient* client, MediaCmd* record, const std::string& name) {
    const std::string file = TranslatePiconName(client, name);
    PutRecordText(record, kFileNameIndex, file.c_str());
    std::memset(record->text, 0, kMediaCmdClipNameLength + 1);
    if (name.size() <= kMediaCmdClipNameLength) {
        const std::string clip = TranslatePiconName(client, name);
        if (clip.size() <= kMediaCmdClipNameLength) {
            std::memcpy(record->text, clip.data(), clip.size());
        }
    }
}

int32_t ReadWholeFile(const std::string& path, char** bodyOut, int32_t* lengthOut) {
    RVHANDLE file = rvOSCreateFile(path.c_str(), 0x80000000u, 1, nullptr, 3, 0, nullptr);
    if (file == RV_INVALID_HANDLE) {
        return 0;
    }
    const uint32_t size = rvOSGetFileSize(file, nullptr);
    if (size == 0xFFFFFFFFu || size > 0x7FFFFFFFu - kPiconSlack) {
        rvOSCloseFile(file);
        return 0;
    }
    char* body = static_cast<char*>(RVAlloc(static_cast<size_t>(size) + kPiconSlack));
    if (body == nullptr) {
        rvOSCloseFile(file);
        return 0;
    }
    uint32_t read = 0;
    if (rvOSReadFile(file, body, size, &read, nullptr) == 0) {
        RVFree(body);
        *bodyOut = nullptr;
        rvOSCloseFile(file);
        return 0;
    }
    rvOSCloseFile(file);
    *bodyOut = body;
    *lengthOut = static_cast<int32_t>(read);
    return 1;
}

// The timeline entry at the query's position, as the engine left the record.
uint32_t AskTimelineEntry(CMyHttpClient* client, CHttpRequest* request, MediaCmd* record) {
    InitMediaCmd(record);
    MediaCmdFromQuery(client, record, request);
    const uint32_t tcType = GetChannelTcType(record->channel);
    record->cmd = kCmdGetValue;
    record->cmdAlt = kValueTimelineEntry;
    record->flags |= kEntryFlags;
    const int32_t channel = record->channel;
    SendMediaCmd(channel, record);
    record->channel = channel;
    return tcType;
}

// Sends a prepared picon record and reads the picture it names.
// The engine names its picture at 76 and leaves a name of ours at 85. A name
// it left as the client gave it (clientClip, clientFile) is still the
// client's: read only within the roots.
int32_t SendPiconRecord(int32_t channel, MediaCmd* record, const std::string& clientClip,
                        const std::string& clientFile, char** bodyOut, int32_t* lengthOut) {
    SendMediaCmd(channel, record);
    std::string path = RecordText(*record, 0);
    if (path.empty()) {
        path = RecordText(*record, kFileNameIndex);
    }
    if (path.empty() ||
        ((path == clientClip || path == clientFile) && !access::IsReachable(path))) {
        return 0;
    }
    return ReadWholeFile(path, bodyOut, lengthOut);
}

} // namespace

int32_t HandleClipInfoRequest(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                              CHttpRequest* request) {
    std::string query = QueryCopy(request);
    const size_t cut = query.find("&channel=");
    if (cut != std::string::npos) {
        query.resize(cut);
    }
    char name[kClipNameBufferSize];
    DecodeClipName(query, name);
    return BuildClipInfoAnswer(client, name, bodyOut, lengthOut);
}

int32_t HandleNextClipRequest(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                              CHttpRequest* request) {
    std::string query = QueryCopy(request);
    size_t cut = query.find("channel=");
    if (cut != std::string::npos) {
        if (cut > 0 && query[cut - 1] == '&') {
            --cut;
        }
        query.resize(cut);
    }
    char name[kClipNameBufferSize];
    DecodeClipName(query, name);
    // Without a "?" the query is the path itself: no clip was named.
    if (std::strstr(name, "KXRXMLNe") != nullptr) {
        std::memset(name, 0, sizeof name);
    }
    Engine().getNextClip(static_cast<int32_t>(client->channel), name);
    termClip(name, kMediaCmdClipNameLength);
    return BuildClipInfoAnswer(client, name, bodyOut, lengthOut);
}

int32_t BuildClipInfoAnswer(CMyHttpClient* client, const char* clipName, char** bodyOut,
                            int32_t* lengthOut) {
    const int32_t channel = static_cast<int32_t>(client->channel);
    const uint32_t tcType = GetChannelTcType(channel);
    char tcName[kTcNameSize] = "frames";
    TcTypeName(client, tcType, tcName);

    MediaCmd record;
    if (!AskClipInfo(channel, clipName, &record)) {
        record.cmd = kCmdError;
        record.flags = MCF_TEXT;
        // Nothing of the failed question may show up as a name.
        std::memset(record.text, 0, sizeof record.text);
        return AnswerWithRecord(record, kErrorTcType, bodyOut, lengthOut);
    }

    XmlAnswer answer("ClipInfo", "ClipInfo");
    answer.AddValue("Channel", channel);
    answer.AddText("ClipID", ClipFieldText(record).c_str());
    const std::string file = RecordText(record, kFileNameIndex);
    if (!file.empty()) {
        answer.AddText("FileName", file.c_str());
    }
    AddFrames(answer, "Position", record.position, tcType, tcName);
    AddFrames(answer, "Start", record.start, tcType, tcName);
    AddFrames(answer, "End", record.end, tcType, tcName);

    record.cmd = kCmdGetValue;
    record.flags = kClipValueFlags;
    record.cmdAlt = kValuePicon;
    strcpyClip(record.text, clipName);
    SendMediaCmd(channel, &record);
    if (record.position != -1) {
        answer.AddText("Picon", RecordText(record, 0).c_str());
    }
    return answer.Finish(bodyOut, lengthOut);
}

bool AskClipInfo(int32_t channel, const char* clipName, MediaCmd* record) {
    InitMediaCmd(record);
    record->cmd = kCmdGetValue;
    record->flags = kClipValueFlags;
    record->cmdAlt = kValueClipInfo;
    strcpyClip(record->text, clipName);
    record->channel = channel;
    SendMediaCmd(channel, record);
    record->channel = channel;
    return record->position != -1 && (record->start != -1 || record->end != -1);
}

int32_t HandleEdlInfoRequest(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                             CHttpRequest* request) {
    MediaCmd record;
    const uint32_t tcType = AskTimelineEntry(client, request, &record);
    return AnswerWithRecord(record, tcType, bodyOut, lengthOut);
}

int32_t HandleEdlStateRequest(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                              CHttpRequest* request) {
    MediaCmd record;
    const uint32_t tcType = AskTimelineEntry(client, request, &record);
    char tcName[kTcNameSize] = "frames";
    TcTypeName(client, tcType, tcName);

    XmlAnswer answer("EDLLine", "EDLLine");
    answer.AddValue("Channel", record.channel);
    answer.AddText("FileName", RecordText(record, kFileNameIndex).c_str());
    AddFrames(answer, "Position", record.position, tcType, tcName);
    AddFrames(answer, "Start", record.start, tcType, tcName);
    AddFrames(answer, "End", record.end, tcType, tcName);
    return answer.Finish(bodyOut, lengthOut);
}

int32_t HandleGetPiconRequest(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                              CHttpRequest* request) {
    *bodyOut = nullptr;
    *lengthOut = 0;
    const int32_t channel = static_cast<int32_t>(client->channel);
    const std::string query = QueryCopy(request);
    if (Engine().getMode(channel) != kVtrMode) {
        return ReadClipPicon(client, channel, query.substr(0, query.find('&')), bodyOut, lengthOut);
    }
    // A tape has no clips: the picture at a frame.
    MediaCmd record;
    InitMediaCmd(&record);
    record.cmd = kCmdGetValue;
    record.cmdAlt = kValuePicon;
    record.flags = MCF_CMDALT | MCF_POSITION_ABS;
    record.position = std::atoi(query.c_str());
    return SendPiconRecord(channel, &record, std::string(), std::string(), bodyOut, lengthOut);
}

int32_t ReadClipPicon(CMyHttpClient* client, int32_t channel, const std::string& name,
                      char** bodyOut, int32_t* lengthOut) {
    *bodyOut = nullptr;
    *lengthOut = 0;
    MediaCmd record;
    InitMediaCmd(&record);
    record.cmd = kCmdGetValue;
    record.cmdAlt = kValuePicon;
    // The names the client gave; the engine's own names replace them.
    std::string clientClip;
    std::string clientFile;
    if (const char* picture = SpecialPicture(name.c_str())) {
        strcpyClip(record.text, name.c_str());
        PutRecordText(&record, kFileNameIndex, picture);
    } else {
        record.flags = kClipValueFlags;
        PlacePiconName(client, &record, name);
        // A file outside the roots is not handed to the engine at all.
        if (access::IsOutside(RecordText(record, kFileNameIndex))) {
            record.text[kFileNameIndex] = '\0';
        }
        clientClip = RecordText(record, 0);
        clientFile = RecordText(record, kFileNameIndex);
        if (clientClip.empty() && clientFile.empty()) {
            return 0;
        }
    }
    return SendPiconRecord(channel, &record, clientClip, clientFile, bodyOut, lengthOut);
}

} // namespace kxr

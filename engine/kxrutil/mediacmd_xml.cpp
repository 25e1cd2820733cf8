// The generic XML rendering of a MediaCmd record, used wherever an answer is
// "the record as the engine left it" (media commands, refused commands,
// status, unknown clips, timeline entries).
//
// The document: declaration 1.0 / iso-8859-1, root "MediaCmd", the comment
// " Tarvik MediaCmd xml structure version 1,0 ", then these elements, each
// with its value in the attribute "Value" and again as its text:
//   Cmd            the command's word ("Play", "GetValue" ...); empty for code 20
//                  and for codes that have no word
//   CmdCode        the command code, decimal
//   Channel        signed decimal
//   Flags          hexadecimal, "0x%08X"
//   Speed          signed decimal (65520 is normal forward play)
//   VideoChannels, AudioChannels, InfoChannels
//                  hexadecimal, "0x%08X" (they are channel masks)
//   CmdAlt         signed decimal
//   Position, Start, End
//                  "Value" the frame count in signed decimal, "TcType" the name
//                  of the timecode type; the text is the count as timecode text,
//                  or in decimal for type 0. A count of -1 means "not set": the
//                  element keeps Value="-1" and has no text.
//   Size           the record's size in bytes, decimal
//   ClipName, FileName, TargetName
//                  only when flag 0x2000 says the text area holds texts, the
//                  area is laid out as clip name + file name (a zero at offset
//                  84), and the text is not empty
//   Text           the text at offset 76 when not empty, whatever the flags
//                  (GetValue answers leave a path or a text there)
#include "kxr/kxrutil.h"

#include <tinyxml.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "kxr/tempex.h"

namespace {

constexpr const char* kCommandWords[] = {
    "Stop",      "Pause",    "Play",     "Record",   "RecStop",        "Eject",
    "Transfer",  "Insert",   "Blank",    "Delete",   "Trim",           "ChanSelect",
    "GetState",  "SetState", "GetValue", "SetValue", "ValueSupported", "Error",
    "Terminate", "Abort",    "",         "Switch"};

const char* CommandWord(uint32_t code) {
    constexpr uint32_t count = sizeof(kCommandWords) / sizeof(kCommandWords[0]);
    return code < count ? kCommandWords[code] : "";
}

// Names as the other answers show them. A code without a name is counted by
// the timecode library as non-drop 30, so it is named that way.
const char* TcTypeNameOf(uint32_t code) {
    switch (code) {
    case kTcNone:
        return "";
    case kTcFilm:
        return "film";
    case kTcDropFrame:
        return "drop-frame";
    case kTcPal:
        return "pal";
    case kTc50:
        return "50";
    case kTc5994:
        return "59.94";
    case kTc60:
        return "60";
    case kTcFilmDrop:
        return "film-drop";
    case kTc2398:
        return "23.98";
    case kTcFrames:
        return "frames";
    default:
        return "non-drop-frame";
    }
}

// Positions are written the way every other answer writes them: signed, hours
// wrapped into the day, drop-frame texts with ';'.
constexpr uint32_t kTcWriteFlags =
    TEMPEX_FLAG_LENIENT | TEMPEX_FLAG_DROP_MARK | TEMPEX_FLAG_SIGNED | TEMPEX_FLAG_DAY_WRAP;

std::string Decimal(long long value) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%lld", value);
    return buf;
}

std::string Hex32(uint32_t value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(value));
    return buf;
}

// Upstream TinyXML copies "&#x..." through unescaped, taking it for a character
// reference, so a text holding it would print as a broken or different
// reference; some builds (Debian's among them) escape every '&'. Ask the
// library once which kind it is.
bool EscapesEveryAmpersand() {
    static const bool escapes = [] {
        std::string out;
        TiXmlBase::EncodeString("&#x41;", &out);
        return out.compare(0, 5, "&amp;") == 0;
    }();
    return escapes;
}

// Where the library would copy "&#x" through, '&' goes in as a reference of
// its own, which that copy keeps intact. Control characters that XML 1.0
// forbids even as references become '?'. Bytes from 0x80 stay as they are: the
// document is declared iso-8859-1, where every byte is its own character.
std::string XmlSafe(std::string_view text) {
    const bool escapeAmpersand = !EscapesEveryAmpersand();
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '&' && escapeAmpersand) {
            out += "&#x26;";
        } else if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            out += '?';
        } else {
            out += ch;
        }
    }
    return out;
}

TiXmlElement* AddElement(TiXmlElement* root, const char* name, const std::string& value) {
    auto* element = new TiXmlElement(name);
    root->LinkEndChild(element);
    element->SetAttribute("Value", value.c_str());
    if (!value.empty()) {
        element->LinkEndChild(new TiXmlText(value.c_str()));
    }
    return element;
}

void AddPosition(TiXmlElement* root, const char* name, int32_t frames, uint32_t code) {
    auto* element = new TiXmlElement(name);
    root->LinkEndChild(element);
    element->SetAttribute("Value", Decimal(frames).c_str());
    element->SetAttribute("TcType", TcTypeNameOf(code));
    if (frames == -1) {
        return;
    }
    std::string text;
    if (code == kTcNone) {
        text = Decimal(frames);
    } else {
        char buf[TEMPEX_TEXT_SIZE] = {};
        const int32_t length = TcFramesToText(frames, code | kTcWriteFlags, buf);
        text.assign(buf, static_cast<size_t>(std::clamp<int32_t>(length, 0, TEMPEX_TEXT_SIZE - 1)));
    }
    element->LinkEndChild(new TiXmlText(text.c_str()));
}

// How much of the text area the record really has: its size says, but never
// more than the standard area that the record type guarantees.
size_t TextAreaLength(const MediaCmd* record) {
    if (record->size <= static_cast<uint32_t>(kMediaCmdTextOffset)) {
        return 0;
    }
    return std::min<size_t>(record->size - kMediaCmdTextOffset, kMediaCmdTextSize);
}

// The zero-terminated text from `offset` (relative to the text area), cut at
// `limit` when no zero comes first.
std::string_view TextAt(const MediaCmd* record, size_t offset, size_t limit) {
    if (offset >= limit) {
        return {};
    }
    const char* start = record->text + offset;
    const size_t room = limit - offset;
    const void* zero = std::memchr(start, 0, room);
    return {start, zero ? static_cast<size_t>(static_cast<const char*>(zero) - start) : room};
}

void AddText(TiXmlElement* root, const char* name, std::string_view text) {
    if (!text.empty()) {
        AddElement(root, name, XmlSafe(text));
    }
}

void AddTextArea(TiXmlElement* root, const MediaCmd* record) {
    const size_t limit = TextAreaLength(record);
    const size_t clipEnd = kMediaCmdClipNameLength;                         // offset 84
    const size_t fileStart = kMediaCmdFileNameOffset - kMediaCmdTextOffset; // offset 85
    const bool clipLayout =
        (record->flags & MCF_TEXT) != 0 && clipEnd < limit && record->text[clipEnd] == '\0';
    if (clipLayout) {
        AddText(root, "ClipName", TextAt(record, 0, clipEnd));
        const std::string_view file = TextAt(record, fileStart, limit);
        AddText(root, "FileName", file);
        const size_t fileZero = fileStart + file.size();
        if (fileZero < limit) {
            AddText(root, "TargetName", TextAt(record, fileZero + 1, limit));
        }
    }
    AddText(root, "Text", TextAt(record, 0, limit));
}

} // namespace

int32_t MediaCmdToXML(TiXmlDocument* document, const MediaCmd* record, uint32_t tcType) {
    if (document == nullptr || record == nullptr) {
        return 0;
    }
    // The flag bits above the code belong to the timecode library; the answer
    // chooses its own.
    const uint32_t code = tcType & TEMPEX_TYPE_MASK;

    document->Clear();
    document->LinkEndChild(new TiXmlDeclaration("1.0", "iso-8859-1", ""));
    auto* root = new TiXmlElement("MediaCmd");
    document->LinkEndChild(root);
    root->LinkEndChild(new TiXmlComment(" Tarvik MediaCmd xml structure version 1,0 "));

    AddElement(root, "Cmd", CommandWord(record->cmd));
    AddElement(root, "CmdCode", Decimal(record->cmd));
    AddElement(root, "Channel", Decimal(record->channel));
    AddElement(root, "Flags", Hex32(record->flags));
    AddElement(root, "Speed", Decimal(record->speed));
    AddElement(root, "VideoChannels", Hex32(record->videoChannels));
    AddElement(root, "AudioChannels", Hex32(record->audioChannels));
    AddElement(root, "InfoChannels", Hex32(record->infoChannels));
    AddElement(root, "CmdAlt", Decimal(record->cmdAlt));
    AddPosition(root, "Position", record->position, code);
    AddPosition(root, "Start", record->start, code);
    AddPosition(root, "End", record->end, code);
    AddElement(root, "Size", Decimal(record->size));
    AddTextArea(root, record);
    return 1;
}

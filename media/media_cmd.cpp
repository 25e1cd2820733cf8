#include "media/media_cmd.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "answer/http_request.h"
#include "answer/my_http_client.h"
#include "answer/timecode_names.h"
#include "binding/callback_slots.h"
#include "kxr/kxrutil.h"
#include "kxr/tempex.h"

namespace kxr {

namespace {

constexpr size_t kWorkingBufferMin = 16768;
constexpr const char* kQueryPrefix = "KXRXMLMediaCmd";
constexpr const char* kNoAddress = "0.0.0.0";
constexpr size_t kTextRoom = kMediaCmdTextSize;
constexpr size_t kFileNameAt = kMediaCmdFileNameOffset - kMediaCmdTextOffset; // 9
constexpr size_t kClipNameEnd = kMediaCmdClipNameLength;                      // 8

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// Case-insensitive: does token begin with word?
bool HasPrefix(const char* token, const char* word) {
    for (; *word != '\0'; ++token, ++word) {
        if (*token == '\0' || Lower(*token) != Lower(*word)) {
            return false;
        }
    }
    return true;
}

bool SameWord(const char* token, const char* word) {
    return HasPrefix(token, word) && token[std::strlen(word)] == '\0';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// An optional sign and the leading digits; no digits reads as 0. Wraps
// rather than overflowing.
uint32_t ReadDecimal(const char* text) {
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    uint32_t value = 0;
    for (; IsDigit(*text); ++text) {
        value = value * 10u + static_cast<uint32_t>(*text - '0');
    }
    return negative ? 0u - value : value;
}

bool HasHexPrefix(const char* text) {
    return text[0] == '0' && text[1] == 'x';
}

uint32_t ReadHex(const char* digits) {
    uint32_t value = 0;
    TcHexToValue(digits, 0, &value);
    return value;
}

// A reader that does not understand its text leaves 0.
int32_t ReadOther(const char* text) {
    int32_t value = 0;
    if (gsFromString(text, &value) == 0) {
        value = 0;
    }
    return value;
}

struct CommandWord {
    const char* word;
    uint32_t code;
};

constexpr CommandWord kCommandWords[] = {
    {"Stop", kCmdStop},
    {"Pause", kCmdPause},
    {"Switch", kCmdSwitch},
    {"Play", kCmdPlay},
    {"Record", kCmdRecord},
    {"RecStop", kCmdRecStop},
    {"Eject", kCmdEject},
    {"Transfer", kCmdTransfer},
    {"Insert", kCmdInsert},
    {"Blank", kCmdBlank},
    {"Delete", kCmdDelete},
    {"Trim", kCmdTrim},
    {"ChanSelect", kCmdChanSelect},
    {"GetState", kCmdGetState},
    {"SetState", kCmdSetState},
    {"GetValue", kCmdGetValue},
    {"ValueGet", kCmdGetValue},
    {"ValueSupported", kCmdValueSupported},
    {"SetValue", kCmdSetValue},
    {"ValueSet", kCmdSetValue},
    {"Error", kCmdError},
    {"Terminate", kCmdTerminate},
    {"Abort", kCmdAbort},
};

struct FlagWord {
    const char* word;
    uint32_t bit;
    bool wholeToken;
};

constexpr FlagWord kFlagWords[] = {
    {"Deferred", MCF_DEFERRED, false},
    {"loop", MCF_LOOP, false},
    {"OverrideDeferred", MCF_OVERRIDEDEFERRED, false},
    {"OverideDeferred", MCF_OVERRIDEDEFERRED, false},
    {"AllIDs", MCF_ALLIDS, false},
    {"NoClipFiles", MCF_NOCLIPFILES, false},
    {"NoTCSpaces", MCF_NOTCSPACES, false},
    {"Copy", MCF_NOCLIPFILES, true},
    {"Convert", MCF_NOTCSPACES, true},
    {"IsShuttle", MCF_ISSHUTTLE, false},
    {"UsingCurrent", MCF_USINGCURRENT, false},
    {"UseFrameCount", MCF_USEFRAMECOUNT, false},
    {"Fields", MCF_FIELDS, false},
    {"Ripple", MCF_RIPPLE, false},
    {"Trigger", MCF_TRIGGER, false},
    {"Preview", MCF_PREVIEW, false},
    {"Invert", MCF_INVERT, false},
    {"Test", MCF_TEST, false},
    {"NoReturn", MCF_NORETURN, false},
};

// Writes value into the text area at offset `at` (from the start of the
// area), cut to the escape working room and to what is left of the area,
// zero-terminated, then blanks its escapes. Returns the offset just past the
// placed text's terminator, or kTextRoom when there was no room at all.
size_t PlaceText(MediaCmd* record, size_t at, const char* value) {
    if (at >= kTextRoom) {
        return kTextRoom;
    }
    char* out = record->text + at;
    size_t length = std::min({std::strlen(value), kEscapeTextMax, kTextRoom - at - 1});
    std::memcpy(out, value, length);
    out[length] = '\0';
    BlankPercentEscapes(out);
    return at + std::strlen(out) + 1;
}

// Where a target name goes: right after the file name's terminator.
size_t TargetNameOffset(const MediaCmd* record) {
    const char* fileName = record->text + kFileNameAt;
    const void* zero = std::memchr(fileName, '\0', kTextRoom - kFileNameAt);
    if (zero == nullptr) {
        return kTextRoom;
    }
    return static_cast<size_t>(static_cast<const char*>(zero) - record->text) + 1;
}

class QueryParser {
public:
    QueryParser(CMyHttpClient* client, MediaCmd* record) : client_(client), record_(record) {}

    // True when the token was a recognised key or word that counts for the
    // result.
    bool ReadToken(const char* token);
    void PlaceAddresses();

private:
    uint32_t TcType();
    int32_t ReadTime(const char* value);
    void ReadPosition(const char* value, int32_t* field, uint32_t absoluteBits,
                      uint32_t relativeBits, uint32_t clearBits);

    CMyHttpClient* client_;
    MediaCmd* record_;
    bool haveTcType_ = false;
    uint32_t tcType_ = 0;
    const char* source_ = nullptr;
    const char* destination_ = nullptr;
    const char* interface_ = nullptr;
};

// Asked of the engine once per parse, and only when a value needs it.
uint32_t QueryParser::TcType() {
    if (!haveTcType_) {
        tcType_ = GetChannelTcType(static_cast<int32_t>(client_->channel));
        haveTcType_ = true;
    }
    return tcType_;
}

int32_t QueryParser::ReadTime(const char* value) {
    if (std::strchr(value, ':') != nullptr) {
        int32_t frames = 0;
        TcTextToFrames(value, TcType() | kTcReadFlags, &frames);
        return frames;
    }
    if (HasHexPrefix(value)) {
        return static_cast<int32_t>(ReadHex(value + 2));
    }
    if (IsDigit(value[0])) {
        return static_cast<int32_t>(ReadDecimal(value));
    }
    return ReadOther(value);
}

void QueryParser::ReadPosition(const char* value, int32_t* field, uint32_t absoluteBits,
                               uint32_t relativeBits, uint32_t clearBits) {
    char sign = value[0];
    bool relative = sign == '+' || sign == '-' || sign == ' ';
    if (relative) {
        ++value;
        record_->flags = (record_->flags & ~clearBits) | relativeBits;
    } else {
        record_->flags = (record_->flags & ~clearBits) | absoluteBits;
    }
    uint32_t result = static_cast<uint32_t>(ReadTime(value));
    *field = static_cast<int32_t>(sign == '-' ? 0u - result : result);
}

bool QueryParser::ReadToken(const char* token) {
    MediaCmd* r = record_;
    if (HasPrefix(token, "channel=")) {
        r->channel = static_cast<int32_t>(ReadDecimal(token + 8));
        return true;
    }
    if (HasPrefix(token, "position=")) {
        ReadPosition(token + 9, &r->position, MCF_POSITION_ABS, MCF_POSITION_REL,
                     MCF_POSITION_ABS | MCF_POSITION_REL);
        return true;
    }
    if (HasPrefix(token, "start=")) {
        ReadPosition(token + 6, &r->start, MCF_START, MCF_START | MCF_START_REL, 0);
        return true;
    }
    if (HasPrefix(token, "end=")) {
        ReadPosition(token + 4, &r->end, MCF_END, MCF_END | MCF_END_REL, 0);
        return true;
    }
    if (HasPrefix(token, "speed=")) {
        const char* value = token + 6;
        if (std::strchr(value, ':') != nullptr) {
            TcTextToFrames(value, TcType() | kTcReadFlags, &r->speed);
        } else {
            r->speed = static_cast<int32_t>(ReadDecimal(value));
        }
        r->flags |= MCF_SPEED;
        return true;
    }
    static constexpr struct {
        const char* key;
        uint32_t bits;
    } kTimeKeys[] = {{"timems=", MCF_TIMEMS | MCF_CMDALT},
                     {"targetms=", MCF_TARGETMS | MCF_CMDALT},
                     {"housems=", MCF_HOUSEMS | MCF_CMDALT}};
    for (const auto& key : kTimeKeys) {
        if (HasPrefix(token, key.key)) {
            r->cmdAlt = static_cast<int32_t>(ReadDecimal(token + std::strlen(key.key)));
            r->flags |= key.bits;
            return true;
        }
    }
    if (HasPrefix(token, "cmdalt=")) {
        const char* value = token + 7;
        if (HasHexPrefix(value)) {
            r->cmdAlt = static_cast<int32_t>(ReadHex(value + 2));
        } else if (IsDigit(value[0])) {
            r->cmdAlt = static_cast<int32_t>(ReadDecimal(value));
        } else {
            r->cmdAlt = ReadOther(value);
        }
        r->flags |= MCF_CMDALT;
        return true;
    }
    static constexpr struct {
        const char* key;
        uint32_t MediaCmd::*field;
    } kChannelKeys[] = {{"videochannels=", &MediaCmd::videoChannels},
                        {"audiochannels=", &MediaCmd::audioChannels},
                        {"infochannels=", &MediaCmd::infoChannels}};
    for (const auto& key : kChannelKeys) {
        if (HasPrefix(token, key.key)) {
            const char* value = token + std::strlen(key.key);
            r->*key.field = HasHexPrefix(value) ? ReadHex(value + 2) : ReadDecimal(value);
            r->flags |= MCF_CHANNELS;
            return true;
        }
    }
    const char* clipValue = nullptr;
    if (HasPrefix(token, "clipid=")) {
        clipValue = token + 7;
    } else if (HasPrefix(token, "clipname=")) {
        clipValue = token + 9;
    }
    if (clipValue != nullptr) {
        size_t length = std::min(std::strlen(clipValue), kClipNameEnd);
        std::memcpy(r->text, clipValue, length);
        r->text[length] = '\0';
        r->text[kClipNameEnd] = '\0';
        BlankPercentEscapes(r->text);
        r->flags |= MCF_TEXT;
        return true;
    }
    if (HasPrefix(token, "filename=")) {
        PlaceText(r, kFileNameAt, token + 9);
        r->flags |= MCF_TEXT;
        return true;
    }
    if (HasPrefix(token, "targetnam")) {
        // Known by its first nine characters; the value follows "targetname=".
        size_t length = std::strlen(token);
        PlaceText(r, TargetNameOffset(r), token + std::min<size_t>(length, 11));
        r->flags |= MCF_TEXT;
        return true;
    }
    if (HasPrefix(token, "string=")) {
        PlaceText(r, 0, token + 7);
        r->flags |= MCF_TEXT;
        return true;
    }
    if (HasPrefix(token, "sourceipaddress=")) {
        source_ = token + 16;
        return false;
    }
    if (HasPrefix(token, "destinationipaddress=")) {
        destination_ = token + 21;
        return false;
    }
    if (HasPrefix(token, "interfaceipaddress=")) {
        interface_ = token + 19;
        return false;
    }
    if (HasPrefix(token, "clockipaddress=")) {
        PlaceText(r, 0, token + 15);
        r->flags |= MCF_TEXT;
        return false;
    }
    if (HasPrefix(token, "flags=")) {
        const char* value = token + 6;
        r->flags |= HasHexPrefix(value) ? ReadHex(value + 2) : ReadDecimal(value);
        return true;
    }
    for (const FlagWord& flag : kFlagWords) {
        if (flag.wholeToken ? SameWord(token, flag.word) : HasPrefix(token, flag.word)) {
            r->flags |= flag.bit;
            return true;
        }
    }
    return false;
}

// Destination, source, interface from the start of the text area; a missing
// earlier address stands as "0.0.0.0" when a later one was given.
void QueryParser::PlaceAddresses() {
    const char* addresses[] = {destination_, source_, interface_};
    int last = -1;
    for (int i = 0; i < 3; ++i) {
        if (addresses[i] != nullptr) {
            last = i;
        }
    }
    size_t at = 0;
    for (int i = 0; i <= last; ++i) {
        at = PlaceText(record_, at, addresses[i] != nullptr ? addresses[i] : kNoAddress);
        record_->flags |= MCF_TEXT;
    }
}

} // namespace

void InitMediaCmd(MediaCmd* record) {
    std::memset(record, 0, sizeof(MediaCmd));
    record->structId = static_cast<uint32_t>(kMediaCmdStructId);
    record->size = kMediaCmdStandardSize;
    record->channel = -1;
    record->cmd = kCmdPause;
    record->flags = 0;
    record->speed = 0x7FFFFFFF;
    record->videoChannels = 0xFFFFFFFFu;
    record->audioChannels = 0xFFFFFFFFu;
    record->infoChannels = 0xFFFFFFFFu;
    record->cmdAlt = 0;
    record->position = -1;
    record->start = -1;
    record->end = -1;
}

int32_t SendMediaCmd(int32_t channel, MediaCmd* record) {
    return RunMediaCmd(channel, record);
}

uint32_t GetChannelTcType(int32_t channel) {
    MediaCmd record;
    InitMediaCmd(&record);
    record.cmd = kCmdGetValue;
    record.cmdAlt = kValueTcType;
    record.position = 0;
    SendMediaCmd(channel, &record);
    return static_cast<uint32_t>(record.position);
}

void BlankPercentEscapes(char* text) {
    if (text == nullptr) {
        return;
    }
    const void* zero = std::memchr(text, '\0', kEscapeTextRoom);
    size_t length = zero != nullptr ? static_cast<size_t>(static_cast<const char*>(zero) - text)
                                    : kEscapeTextRoom;
    if (length > kEscapeTextMax) {
        length = kEscapeTextMax;
        text[length] = '\0';
    }
    size_t out = 0;
    for (size_t in = 0; in < length; ++out) {
        if (text[in] == '%') {
            text[out] = ' ';
            in = std::min(in + 3, length);
        } else {
            text[out] = text[in++];
        }
    }
    text[out] = '\0';
}

int32_t MediaCmdFromQuery(CMyHttpClient* client, MediaCmd* record, CHttpRequest* request) {
    const char* query = request->query.c_str();
    size_t length = std::strlen(query);
    if (length == 0) {
        record->cmd = kCmdError;
        return 0;
    }
    std::vector<char> buffer(std::max(length, kWorkingBufferMin) + 1, '\0');
    std::memcpy(buffer.data(), query, length);

    std::vector<const char*> tokens;
    for (char* p = buffer.data(); *p != '\0';) {
        char* end = std::strchr(p, '&');
        if (end != nullptr) {
            *end = '\0';
        }
        if (*p != '\0') {
            tokens.push_back(p);
        }
        if (end == nullptr) {
            break;
        }
        p = end + 1;
    }

    size_t next = 0;
    if (next < tokens.size() && HasPrefix(tokens[next], kQueryPrefix)) {
        ++next;
    }
    int32_t result = 0;
    record->cmd = kCmdError;
    if (next < tokens.size()) {
        for (const CommandWord& word : kCommandWords) {
            if (HasPrefix(tokens[next], word.word)) {
                record->cmd = word.code;
                result = 1;
                ++next;
                break;
            }
        }
    }
    record->channel = static_cast<int32_t>(client->channel);

    QueryParser parser(client, record);
    for (; next < tokens.size(); ++next) {
        if (parser.ReadToken(tokens[next])) {
            result = 1;
        }
    }
    record->flags |= MCF_FROMTEXT;
    parser.PlaceAddresses();
    return result;
}

} // namespace kxr

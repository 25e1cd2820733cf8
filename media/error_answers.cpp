#include "media/error_answers.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "answer/http_request.h"
#include "answer/text_codec.h"
#include "answer/xml_answer.h"
#include "binding/engine_binding.h"
#include "kxr/mediacmd.h"
#include "media/media_cmd.h"

namespace kxr {

namespace {

constexpr const char* kRootName = "ErrorMsg";
constexpr const char* kKindWords = "error message";
constexpr uint32_t kNoIndex = 0xFFFFFFFFu;
constexpr size_t kFirstTextCapacity = 4096;
constexpr uint32_t kSaveFlags = MCF_TEXT | MCF_POSITION_ABS; // 0x2040
constexpr int32_t kSaveOperation = 4;

void AddMessage(XmlAnswer& answer, uint32_t index, int32_t code, const char* text,
                const uint16_t (&time)[7]) {
    TiXmlElement* number = answer.AddElement("ErrorNumber");
    number->SetAttribute("index", static_cast<int32_t>(index));
    answer.AddValue("Error", code, number);
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<uint32_t>(code));
    answer.AddText("HexError", hex, number);
    // time holds Y, A, B, h, m, s, f as the engine delivers them.
    char when[64];
    std::snprintf(when, sizeof when, "%02d:%02d:%02d.%02d %02d/%02d/%04d", time[3], time[4],
                  time[5], time[6], time[2], time[1], time[0]);
    answer.AddText("Time", when, number);
    answer.AddText("Message", EncodeEntitiesCut(text, kErrorMessageSize).c_str(), number);
}

} // namespace

std::string EncodeEntitiesCut(const char* text, size_t capacity) {
    std::string encoded = EncodeEntities(std::string_view(text, std::strlen(text)));
    if (capacity == 0) {
        return std::string();
    }
    if (encoded.size() > capacity - 1) {
        encoded.resize(capacity - 1);
        // Every "&" of the encoded text opens an entity: drop a cut one.
        const size_t amp = encoded.rfind('&');
        if (amp != std::string::npos && encoded.find(';', amp) == std::string::npos) {
            encoded.resize(amp);
        }
    }
    return encoded;
}

std::vector<ErrorLogMessage> ReadErrorMessages(uint32_t index, uint32_t count) {
    const EngineTable& engine = Engine();
    std::vector<ErrorLogMessage> messages;
    std::vector<char> text(kFirstTextCapacity, '\0');
    for (uint32_t n = 0; n < count; ++n) {
        const uint32_t previous = index;
        uint32_t messageLength = 0;
        engine.errorLogLength(&index, &messageLength);
        if (static_cast<size_t>(messageLength) + 1 > text.size()) {
            text.assign(2 * static_cast<size_t>(messageLength) + 2, '\0');
        }
        text[0] = '\0';
        ErrorLogMessage message;
        uint16_t* t = message.time;
        engine.errorLogRead(&index, &message.code, text.data(), &t[0], &t[1], &t[2], &t[3], &t[4],
                            &t[5], &t[6]);
        text.back() = '\0';
        if (index <= previous) {
            index = previous + 1;
        }
        message.nextIndex = index;
        message.text = text.data();
        messages.push_back(std::move(message));
    }
    return messages;
}

int32_t HandleErrorMsgRequest(CMyHttpClient* /*client*/, char** bodyOut, int32_t* lengthOut,
                              CHttpRequest* request) {
    const EngineTable& engine = Engine();
    const std::string path = request != nullptr ? request->path : std::string();
    uint32_t count = 1;
    uint32_t index = 0;

    size_t mark = path.find('&');
    if (mark != std::string::npos) {
        if (path.find("&All") != std::string::npos) {
            engine.errorLogCount(&count);
        }
    } else {
        mark = path.find('?');
    }
    if (mark != std::string::npos) {
        index = static_cast<uint32_t>(std::atoi(path.c_str() + mark + 1));
    }

    uint32_t length = 0;
    if (index == kNoIndex) {
        engine.errorLogCount(&count);
    } else {
        engine.errorLogLength(&index, &length);
    }

    XmlAnswer answer(kRootName, kKindWords);
    if (length == 0) {
        answer.AddValue("ErrorNumber", count == 0 ? -1 : static_cast<int32_t>(count));
        return answer.Finish(bodyOut, lengthOut);
    }

    for (const ErrorLogMessage& message : ReadErrorMessages(index, count)) {
        AddMessage(answer, message.nextIndex, message.code, message.text.c_str(), message.time);
    }
    return answer.Finish(bodyOut, lengthOut);
}

int32_t HandleErrorLogSaveRequest(CMyHttpClient* /*client*/, char** bodyOut, int32_t* lengthOut,
                                  CHttpRequest* /*request*/) {
    XmlAnswer answer(kRootName, kKindWords);
    MediaCmd record;
    InitMediaCmd(&record);
    record.cmd = kCmdSetValue;
    record.flags = kSaveFlags;
    record.cmdAlt = kValueErrorLogSave;
    record.position = kSaveOperation;
    record.channel = 0;
    SendMediaCmd(0, &record);
    const std::string file(record.text, strnlen(record.text, sizeof record.text));
    if (!file.empty()) {
        answer.AddText("Filename", EncodeEntitiesCut(file.c_str(), kErrorFileNameSize).c_str());
    }
    return answer.Finish(bodyOut, lengthOut);
}

} // namespace kxr

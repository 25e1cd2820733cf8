#include "api/channel_queries.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "access/containment.h"
#include "answer/my_http_client.h"
#include "answer/text_codec.h"
#include "answer/timecode_names.h"
#include "binding/engine_binding.h"
#include "httpd/server_settings.h"
#include "kxr/rvutil.h"
#include "kxr/snipr.h"
#include "kxr/tempex.h"
#include "platform/kxr_path.h"

namespace kxr {

namespace {

// Block sizes of the plain-text answers, terminator included.
constexpr size_t kValueBlock = 16;
constexpr size_t kStampBlock = 32;
constexpr size_t kNameBlock = 260;

constexpr uint32_t kGenericRead = 0x80000000u;
constexpr uint32_t kShareRead = 1;
constexpr uint32_t kOpenExisting = 3;

int32_t Channel(const CMyHttpClient* client) {
    return static_cast<int32_t>(client->channel);
}

int32_t TextAnswer(const std::string& text, size_t block, char** bodyOut, int32_t* lengthOut) {
    const size_t extra = text.size() < block ? block - text.size() : 1;
    return MakeAnswerBody(text, bodyOut, lengthOut, extra);
}

// What an engine call wrote into a text block of the given size.
template <size_t N> std::string BlockText(const char (&block)[N]) {
    return std::string(block, strnlen(block, N));
}

int32_t NumberAnswer(int64_t value, size_t block, char** bodyOut, int32_t* lengthOut) {
    return TextAnswer(std::to_string(value), block, bodyOut, lengthOut);
}

int32_t ErrorLogControl(uint32_t operation, char** bodyOut, int32_t* lengthOut) {
    return NumberAnswer(Engine().setErrorLog(operation), kStampBlock, bodyOut, lengthOut);
}

// The second non-empty piece of path split at "&": the first is the command.
bool TimecodeArgument(std::string_view path, std::string& argument) {
    int seen = 0;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('&', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        if (end > start && ++seen == 2) {
            argument.assign(path.substr(start, end - start));
            return true;
        }
        start = end + 1;
    }
    return false;
}

// A name the client gave: outside the roots it opens as a missing file.
RVHANDLE OpenForReading(const std::string& name) {
    if (!access::IsReachable(name)) {
        return RV_INVALID_HANDLE;
    }
    return rvOSCreateFile(name.c_str(), kGenericRead, kShareRead, nullptr, kOpenExisting, 0,
                          nullptr);
}

} // namespace

std::string SpeedFactorText(int32_t speed) {
    char text[kValueBlock + 8];
    if (speed >= 0) {
        std::snprintf(text, sizeof text, "%d.%02d", speed / kNormalSpeed,
                      (speed % kNormalSpeed) * 100 / kNormalSpeed);
    } else {
        // Negated in 64 bits so that the most negative speed stays exact.
        const int64_t t = -static_cast<int64_t>(speed);
        std::snprintf(text, sizeof text, "-%d.%02d", static_cast<int>(t / kNormalSpeed),
                      static_cast<int>((t % kNormalSpeed) * 100 / kNormalSpeed));
    }
    return text;
}

int32_t AnswerTotalChannels(CMyHttpClient*, char** bodyOut, int32_t* lengthOut, CHttpRequest*) {
    return NumberAnswer(static_cast<int32_t>(Engine().getChannelCount()), kValueBlock, bodyOut,
                        lengthOut);
}

int32_t AnswerTotalInternalChannels(CMyHttpClient*, char** bodyOut, int32_t* lengthOut,
                                    CHttpRequest*) {
    return NumberAnswer(static_cast<int32_t>(Engine().getInternalChannelCount()), kValueBlock,
                        bodyOut, lengthOut);
}

int32_t AnswerGetState(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut, CHttpRequest*) {
    char block[kValueBlock] = {};
    Engine().getStateText(Channel(client), block);
    return TextAnswer(BlockText(block), kValueBlock, bodyOut, lengthOut);
}

int32_t AnswerGetPosition(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                          CHttpRequest*) {
    char block[kValueBlock] = {};
    Engine().getPositionText(Channel(client), block);
    return TextAnswer(BlockText(block), kValueBlock, bodyOut, lengthOut);
}

int32_t AnswerGetFrame(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut, CHttpRequest*) {
    return NumberAnswer(Engine().getFrame(Channel(client)), kValueBlock, bodyOut, lengthOut);
}

int32_t AnswerGetSpeedRaw(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                          CHttpRequest*) {
    return NumberAnswer(Engine().getSpeed(Channel(client)), kValueBlock, bodyOut, lengthOut);
}

int32_t AnswerGetSpeed(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut, CHttpRequest*) {
    return TextAnswer(SpeedFactorText(Engine().getSpeed(Channel(client))), kValueBlock, bodyOut,
                      lengthOut);
}

int32_t AnswerGetNextClip(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                          CHttpRequest*) {
    Engine().getNextClip(Channel(client), client->clip);
    client->clip[kClipFieldSize - 1] = '\0';
    char block[kValueBlock] = {};
    strcpyClip(block, client->clip);
    return TextAnswer(BlockText(block), kValueBlock, bodyOut, lengthOut);
}

int32_t AnswerGetLastChangeXferMs(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                                  CHttpRequest*) {
    return NumberAnswer(static_cast<int32_t>(Engine().getLastChangeXferMs(Channel(client))),
                        kStampBlock, bodyOut, lengthOut);
}

int32_t AnswerGetLastChangeMs(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                              CHttpRequest*) {
    return NumberAnswer(
        static_cast<int32_t>(Engine().getLastChangeMs(Channel(client), 0xFFFFFFFFu, 0)),
        kStampBlock, bodyOut, lengthOut);
}

int32_t AnswerGetErrorLogMs(CMyHttpClient*, char** bodyOut, int32_t* lengthOut, CHttpRequest*) {
    return NumberAnswer(static_cast<int32_t>(Engine().getErrorLogMs()), kStampBlock, bodyOut,
                        lengthOut);
}

int32_t AnswerTcType(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut, CHttpRequest*) {
    return NumberAnswer(static_cast<int32_t>(Engine().getTcType(Channel(client))), kStampBlock,
                        bodyOut, lengthOut);
}

int32_t AnswerSetErrorLogClear(CMyHttpClient*, char** bodyOut, int32_t* lengthOut, CHttpRequest*) {
    return ErrorLogControl(ENGINE_ERRORLOG_CLEAR, bodyOut, lengthOut);
}

int32_t AnswerSetErrorLogSave(CMyHttpClient*, char** bodyOut, int32_t* lengthOut, CHttpRequest*) {
    return ErrorLogControl(ENGINE_ERRORLOG_SAVE, bodyOut, lengthOut);
}

int32_t AnswerSetErrorLogStop(CMyHttpClient*, char** bodyOut, int32_t* lengthOut, CHttpRequest*) {
    return ErrorLogControl(ENGINE_ERRORLOG_STOP, bodyOut, lengthOut);
}

int32_t AnswerSetErrorLogStart(CMyHttpClient*, char** bodyOut, int32_t* lengthOut, CHttpRequest*) {
    return ErrorLogControl(ENGINE_ERRORLOG_START, bodyOut, lengthOut);
}

int32_t AnswerChannelName(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                          CHttpRequest*) {
    char block[kNameBlock] = {};
    Engine().getChannelName(Channel(client), block);
    return TextAnswer(BlockText(block), kNameBlock, bodyOut, lengthOut);
}

int32_t AnswerTimecode(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                       CHttpRequest* request) {
    const std::string& path = request->path;
    std::string argument;
    if (!TimecodeArgument(path, argument)) {
        return TextAnswer("BadArg", kNameBlock, bodyOut, lengthOut);
    }
    const uint32_t type = Engine().getTcType(Channel(client));
    char text[TEMPEX_TEXT_SIZE + 1] = {};
    if (path.find("TimecodeToString") != std::string::npos) {
        TcFramesToText(ParseDecimal(argument), type | kTcWriteFlags, text);
        return TextAnswer(BlockText(text), kNameBlock, bodyOut, lengthOut);
    }
    int32_t frames = 0;
    TcTextToFrames(argument.c_str(), type | kTcReadFlags, &frames);
    if (path.find("TimecodeToFrame") != std::string::npos) {
        return NumberAnswer(frames, kNameBlock, bodyOut, lengthOut);
    }
    TcFramesToText(frames, type | kTcWriteFlags, text);
    return TextAnswer(BlockText(text), kNameBlock, bodyOut, lengthOut);
}

int32_t AnswerFile(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                   CHttpRequest* request) {
    *bodyOut = nullptr;
    *lengthOut = 0;
    const std::string& query = request->fileQuery;
    RVHANDLE file = OpenForReading(query + client->page);
    if (file == RV_INVALID_HANDLE) {
        const char* root = httpd::GetServerSettings().documentRoot;
        file = OpenForReading(std::string(root != nullptr ? root : "") + platform::kPathSeparator +
                              query);
    }
    if (file == RV_INVALID_HANDLE) {
        // Handled, with nothing to send.
        return 1;
    }
    if (request->streamFileAnswer) {
        int64_t size = 0;
        if (rvOSGetFileSizeEx(file, &size) == 0 || size <= 0) {
            // An empty file is not an answer: the file server gets the path.
            rvOSCloseFile(file);
            return 0;
        }
        request->fileAnswer = file;
        request->fileAnswerSize = size;
        return 1;
    }
    const uint32_t size = rvOSGetFileSize(file, nullptr);
    char* block = static_cast<char*>(RVAlloc(static_cast<size_t>(size) + 2));
    uint32_t count = 0;
    if (block != nullptr) {
        rvOSReadFile(file, block, size, &count, nullptr);
    }
    rvOSCloseFile(file);
    if (count == 0) {
        RVFree(block);
        return 0;
    }
    *bodyOut = block;
    *lengthOut = static_cast<int32_t>(count);
    return 1;
}

} // namespace kxr

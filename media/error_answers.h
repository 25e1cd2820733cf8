// The engine's error log over the XML interface: its messages (ErrorMsg) and
// a saved copy of the log (ErrorLogSave).
#ifndef KXR_MEDIA_ERROR_ANSWERS_H
#define KXR_MEDIA_ERROR_ANSWERS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kxr {

class CMyHttpClient;
class CHttpRequest;

// Room for an encoded message text and an encoded log file name, terminator
// included; longer encodings are cut before an entity would be split.
inline constexpr size_t kErrorMessageSize = 4096;
inline constexpr size_t kErrorFileNameSize = 1025;

// "ErrorMsg": "?n" reads message n, "?-1" counts the messages, "&All" reads
// every message from the first.
int32_t HandleErrorMsgRequest(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                              CHttpRequest* request);
// "ErrorLogSave": asks the engine to save its error log and names the file.
int32_t HandleErrorLogSaveRequest(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                                  CHttpRequest* request);

// One message of the engine's error log as the engine reads it out.
struct ErrorLogMessage {
    uint32_t nextIndex = 0; // the index the engine handed back: the next message's
    int32_t code = 0;
    std::string text;
    uint16_t time[7] = {}; // year, month, day, hour, minute, second, hundredths
};

// Reads count messages from index on, as the engine hands them out.
std::vector<ErrorLogMessage> ReadErrorMessages(uint32_t index, uint32_t count);

// The entity form of text, cut to capacity - 1 bytes at an entity boundary.
std::string EncodeEntitiesCut(const char* text, size_t capacity);

} // namespace kxr

#endif

// The module's one API object: it answers the XML and page interfaces.
// Every answer builder receives it and reads its per-request fields; the
// object is made, and its operations are defined, in module/, which alone
// knows every answer.
#ifndef KXR_ANSWER_MY_HTTP_CLIENT_H
#define KXR_ANSWER_MY_HTTP_CLIENT_H

#include <cstdint>

#include "answer/http_request.h"

namespace kxr {

inline constexpr size_t kClipFieldSize = 9;
inline constexpr size_t kPageFieldSize = 260;
inline constexpr int32_t kNormalSpeed = 65520;
inline constexpr uint32_t kRecordStopValue = 0xFFFFFFFFu;

class CMyHttpClient {
public:
    CMyHttpClient();
    virtual ~CMyHttpClient();

    // Answers a request text. Returns above 0 when it answered; the answer is
    // an RVAlloc block stored through bodyOut, its length (without the
    // terminating zero) through lengthOut. 0 when the request is not for
    // the API.
    virtual int32_t HandleRequest(const char* requestText, char** bodyOut, int32_t* lengthOut,
                                  CHttpRequest* request);
    // Kept for the object's call layout; does nothing.
    virtual void Reserved(uint32_t first, uint32_t second);
    // Resets the per-request fields and applies a page query: selects the
    // channel, keeps the page options and carries out the transport actions
    // on the engine at once. Returns 1.
    virtual int32_t ParsePageQuery(CHttpRequest* request);

    // Per-request state, set up by each request that the API answers.
    uint32_t actionFlags = 0; // bit 0: the page request loaded a clip
    uint32_t channel = 0;
    uint32_t position = 0;
    int32_t speed = kNormalSpeed;
    uint32_t loadOption = 0;
    uint32_t recordStopValue = kRecordStopValue;
    uint32_t pageType = 0;
    char clip[kClipFieldSize] = {};
    char page[kPageFieldSize] = {};
};

// The channel chosen with "setchannel=": the default channel of every request.
extern uint32_t selectedChannel;

} // namespace kxr

#endif

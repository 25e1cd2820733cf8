// The parsed form of one request, made by the router for the dispatcher and
// dropped when the request is answered.
#ifndef KXR_ANSWER_HTTP_REQUEST_H
#define KXR_ANSWER_HTTP_REQUEST_H

#include <cstdint>
#include <string>

#include "kxr/rvutil.h"

namespace kxr {

class CHttpRequest {
public:
    CHttpRequest() = default;
    virtual ~CHttpRequest();

    // The text after the first "?" of path.
    std::string query;
    // Copies of query for the clip answers and the file answer, which read
    // their own.
    std::string clipQuery;
    std::string fileQuery;
    // Without its leading slash, query included.
    std::string path;
    uint8_t parsed = 0;

    // Set by the router: a file answer leaves its file open here instead of
    // reading it, and the router streams it once the module's lock is left.
    bool streamFileAnswer = false;
    RVHANDLE fileAnswer = RV_INVALID_HANDLE;
    int64_t fileAnswerSize = 0;
};

// Fills request from a request text: the full text that begins with the
// request line, or a bare path that begins with "KXRXML". An empty text
// empties the fields; parsed is set either way.
void ParseRequestText(const char* text, CHttpRequest& request);

} // namespace kxr

#endif

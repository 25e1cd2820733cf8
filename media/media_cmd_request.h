// The MediaCmd request of the XML interface: the command in the query string
// is carried out by the engine and answered with the record as it came back,
// or with the preview bytes the engine wrote ("&mpreview").
#ifndef KXR_MEDIA_MEDIA_CMD_REQUEST_H
#define KXR_MEDIA_MEDIA_CMD_REQUEST_H

#include <cstdint>

namespace kxr {

class CMyHttpClient;
class CHttpRequest;

// Both have the AnswerBuilder form of answer/xml_answer.h.
// 1 when answered; 0 when the large record of value code 1000007 could not
// be allocated (no body, length untouched).
int32_t HandleMediaCmdRequest(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                              CHttpRequest* request);
// Always 1; no body when the engine wrote nothing.
int32_t HandleMediaPreviewRequest(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                                  CHttpRequest* request);

} // namespace kxr

#endif

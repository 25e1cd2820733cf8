// The generated HTML pages: live engine state for a browser, and the media
// page that remote-controls one channel. Every builder has the answer-builder
// form, works on the client's `channel` and `pageType` as the page query left
// them, and returns 1 with an RVAlloc body.
#ifndef KXR_API_PAGES_H
#define KXR_API_PAGES_H

#include <cstdint>
#include <string>

#include "answer/xml_answer.h"

namespace kxr {

int32_t BuildStatusPage(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                        CHttpRequest* request);
int32_t BuildChannelsPage(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                          CHttpRequest* request);
int32_t BuildSystemPage(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                        CHttpRequest* request);
int32_t BuildAudioPage(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                       CHttpRequest* request);
int32_t BuildVideoPage(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                       CHttpRequest* request);
int32_t BuildMiscPage(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                      CHttpRequest* request);
int32_t BuildMediaPage(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                       CHttpRequest* request);

// The media page's parts; selfLink is "KXRMedia?type=T&channel=C".
std::string ChannelSelectForm(CMyHttpClient* client, const std::string& selfLink);
std::string ModeSelectForm(CMyHttpClient* client, const std::string& selfLink);
std::string TransportBar(CMyHttpClient* client, const std::string& selfLink);

} // namespace kxr

#endif

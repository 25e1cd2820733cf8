// The clip and timeline answers of the XML interface: a clip's description
// (ClipInfo, NextClip), the timeline entry at a position (EDLInfo, EDLState)
// and a clip's thumbnail picture (GetPicon).
#ifndef KXR_MEDIA_CLIP_ANSWERS_H
#define KXR_MEDIA_CLIP_ANSWERS_H

#include <cstddef>
#include <cstdint>

namespace kxr {

class CMyHttpClient;
class CHttpRequest;

// The clip-name buffer of the clip answers; names are 8 characters wide.
inline constexpr size_t kClipNameBufferSize = 36;
// The query copy the clip answers work on: at most 259 characters.
inline constexpr size_t kClipQuerySize = 260;

// "ClipInfo": the query up to "&channel=" names the clip.
int32_t HandleClipInfoRequest(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                              CHttpRequest* request);
// "NextClip": the clip after the one the query names (the first for none).
int32_t HandleNextClipRequest(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                              CHttpRequest* request);
// The ClipInfo document of a clip on the client's channel; an unknown clip
// gives the rendering of an error record. Returns 1.
int32_t BuildClipInfoAnswer(CMyHttpClient* client, const char* clipName, char** bodyOut,
                            int32_t* lengthOut);

// "EDLInfo" and "EDLState": the timeline entry at the position the query
// gives, as the engine's record or as an EDLLine document.
int32_t HandleEdlInfoRequest(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                             CHttpRequest* request);
int32_t HandleEdlStateRequest(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                              CHttpRequest* request);

// "GetPicon": the bytes of a clip's thumbnail picture. Returns 0 with no body
// when there is no picture to send.
int32_t HandleGetPiconRequest(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                              CHttpRequest* request);

} // namespace kxr

#endif

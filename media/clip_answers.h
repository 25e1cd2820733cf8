// The clip and timeline answers of the XML interface: a clip's description
// (ClipInfo, NextClip), the timeline entry at a position (EDLInfo, EDLState)
// and a clip's thumbnail picture (GetPicon).
#ifndef KXR_MEDIA_CLIP_ANSWERS_H
#define KXR_MEDIA_CLIP_ANSWERS_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "kxr/mediacmd.h"

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
// Asks the engine about a clip of the channel; the record comes back with its
// timeline position, start and end (its length) and its file at 85. False for
// an unknown clip.
bool AskClipInfo(int32_t channel, const char* clipName, MediaCmd* record);

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
// The thumbnail of a clip (or of a special clip, or of a file by its locator)
// on a clip channel, as GetPicon sends it: 1 with the picture's bytes, 0 with
// no body when there is none.
int32_t ReadClipPicon(CMyHttpClient* client, int32_t channel, const std::string& name,
                      char** bodyOut, int32_t* lengthOut);

} // namespace kxr

#endif

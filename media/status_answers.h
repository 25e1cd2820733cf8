// The small answers of the XML interface: a channel's whole state (Status),
// and the MetaData and WatchFolder envelopes.
#ifndef KXR_MEDIA_STATUS_ANSWERS_H
#define KXR_MEDIA_STATUS_ANSWERS_H

#include <cstdint>

namespace kxr {

class CMyHttpClient;
class CHttpRequest;

// What a Status answer always shows as the record's flags: speed, channel
// values, absolute position, start, end, text and value code asked for.
inline constexpr uint32_t kStatusFlags = 0x12570;

// "Status": the GetState record of the client's channel as the engine fills it.
int32_t HandleStatusRequest(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                            CHttpRequest* request);
// "MetaData" and "WatchFolder": their envelope alone; the keys are not read.
int32_t HandleMetaDataRequest(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                              CHttpRequest* request);
int32_t HandleWatchFolderRequest(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                                 CHttpRequest* request);

} // namespace kxr

#endif

// Plain-text answers for scripts that poll one value at a time, and the file
// answer that sends a file's bytes as they are. All have the AnswerBuilder
// form; each reads the client's channel as the query left it.
#ifndef KXR_API_CHANNEL_QUERIES_H
#define KXR_API_CHANNEL_QUERIES_H

#include <cstdint>
#include <string>

#include "answer/xml_answer.h"

namespace kxr {

int32_t AnswerTotalChannels(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                            CHttpRequest* request);
int32_t AnswerTotalInternalChannels(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                                    CHttpRequest* request);
int32_t AnswerGetState(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                       CHttpRequest* request);
int32_t AnswerGetPosition(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                          CHttpRequest* request);
int32_t AnswerGetFrame(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                       CHttpRequest* request);
int32_t AnswerGetSpeedRaw(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                          CHttpRequest* request);
int32_t AnswerGetSpeed(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                       CHttpRequest* request);
int32_t AnswerGetNextClip(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                          CHttpRequest* request);
int32_t AnswerGetLastChangeXferMs(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                                  CHttpRequest* request);
int32_t AnswerGetLastChangeMs(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                              CHttpRequest* request);
int32_t AnswerGetErrorLogMs(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                            CHttpRequest* request);
int32_t AnswerTcType(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                     CHttpRequest* request);
int32_t AnswerSetErrorLogClear(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                               CHttpRequest* request);
int32_t AnswerSetErrorLogSave(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                              CHttpRequest* request);
int32_t AnswerSetErrorLogStop(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                              CHttpRequest* request);
int32_t AnswerSetErrorLogStart(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                               CHttpRequest* request);
int32_t AnswerChannelName(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                          CHttpRequest* request);
// "Timecode", "TimecodeToString" and "TimecodeToFrame".
int32_t AnswerTimecode(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                       CHttpRequest* request);
// "PassThrough" and "Page": the bytes of the file the query names.
int32_t AnswerFile(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                   CHttpRequest* request);

// An engine speed as a factor of normal play, truncated to two places:
// 65520 gives "1.00", -32760 gives "-0.50".
std::string SpeedFactorText(int32_t speed);

} // namespace kxr

#endif

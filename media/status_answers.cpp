#include "media/status_answers.h"

#include <tinyxml.h>

#include "answer/my_http_client.h"
#include "answer/xml_answer.h"
#include "kxr/kxrutil.h"
#include "kxr/mediacmd.h"
#include "media/media_cmd.h"

namespace kxr {

int32_t HandleStatusRequest(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                            CHttpRequest* /*request*/) {
    const int32_t channel = static_cast<int32_t>(client->channel);
    const uint32_t tcType = GetChannelTcType(channel);
    MediaCmd record;
    InitMediaCmd(&record);
    record.cmd = kCmdGetState;
    record.flags = kStatusFlags;
    record.channel = channel;
    SendMediaCmd(channel, &record);
    // The answer describes what was asked, whatever the engine wrote back.
    record.flags = kStatusFlags;
    record.channel = channel;
    TiXmlDocument document;
    MediaCmdToXML(&document, &record, tcType);
    return MakeAnswerBody(PrintCompact(document), bodyOut, lengthOut);
}

int32_t HandleMetaDataRequest(CMyHttpClient* /*client*/, char** bodyOut, int32_t* lengthOut,
                              CHttpRequest* /*request*/) {
    return XmlAnswer("MetaData", "metadata message").Finish(bodyOut, lengthOut);
}

int32_t HandleWatchFolderRequest(CMyHttpClient* /*client*/, char** bodyOut, int32_t* lengthOut,
                                 CHttpRequest* /*request*/) {
    return XmlAnswer("WatchFolder", "watch folder message").Finish(bodyOut, lengthOut);
}

} // namespace kxr

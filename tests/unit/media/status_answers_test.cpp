// The Status answer and the MetaData and WatchFolder envelopes.
#include "media/status_answers.h"

#include <gtest/gtest.h>

#include <string>

#include "api/http_request.h"
#include "api/my_http_client.h"
#include "api/xml_answer.h"
#include "capturing_engine.h"
#include "kxr/kxrutil.h"
#include "kxr/rvutil.h"

namespace {

std::string Answer(kxr::AnswerBuilder handler, kxr::CMyHttpClient* client) {
    kxr::CHttpRequest request;
    request.path = request.query = "KXRXMLMetaData&filename=a.mov";
    char* body = nullptr;
    int32_t length = 0;
    EXPECT_EQ(handler(client, &body, &length, &request), 1);
    std::string text(body, static_cast<size_t>(length));
    EXPECT_EQ(body[length], '\0');
    RVFree(body);
    return text;
}

TEST(StatusAnswer, ShowsTheStateAskedForTheClientsChannel) {
    kxrtest::CapturingEngine capture;
    capture.tcTypes = {{5, 8}};
    capture.reply = [](int32_t, MediaCmd* r) {
        if (r->cmd == kCmdGetState) {
            r->flags = 0xFF;
            r->channel = 9;
            r->position = 100;
        }
    };
    kxr::CMyHttpClient client;
    client.channel = 5;
    const std::string text = Answer(kxr::HandleStatusRequest, &client);
    ASSERT_EQ(capture.sent.size(), 2u);
    EXPECT_EQ(capture.sent[0].record.cmdAlt, kValueTcType);
    const kxrtest::SentRecord& sent = capture.sent[1];
    EXPECT_TRUE(sent.channelArgument == 5 && sent.record.channel == 5);
    EXPECT_EQ(sent.record.cmd, static_cast<uint32_t>(kCmdGetState));
    EXPECT_EQ(sent.record.flags, 0x12570u);
    // The answer shows the sent record with the engine's position only.
    MediaCmd expected = sent.record;
    expected.position = 100;
    TiXmlDocument document;
    MediaCmdToXML(&document, &expected, 8);
    EXPECT_EQ(text, kxr::PrintCompact(document));
}

TEST(StatusAnswer, MetaDataAndWatchFolderAreBareEnvelopes) {
    kxrtest::CapturingEngine capture;
    kxr::CMyHttpClient client;
    EXPECT_EQ(Answer(kxr::HandleMetaDataRequest, &client),
              "<?xml version=\"1.0\" encoding=\"iso-8859-1\" ?><MetaData>"
              "<!-- Tarvik metadata message xml structure version 1,0 --></MetaData>");
    EXPECT_EQ(Answer(kxr::HandleWatchFolderRequest, &client),
              "<?xml version=\"1.0\" encoding=\"iso-8859-1\" ?><WatchFolder>"
              "<!-- Tarvik watch folder message xml structure version 1,0 --></WatchFolder>");
    EXPECT_TRUE(capture.sent.empty());
}

} // namespace

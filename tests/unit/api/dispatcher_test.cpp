// The request text and the dispatcher: how a request is cut into path and
// query, which answer a path reaches, the page query's actions in order and the
// plain values a script polls.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "answer/http_request.h"
#include "answer/my_http_client.h"
#include "kxr/tempex.h"
#include "tests/unit/api/api_test_support.h"

namespace kxrtest {
namespace {

using kxr::CHttpRequest;

TEST(RequestParsing, CutsPathAndQuery) {
    // The request text, the path and the query.
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"GET /KXRXML/Status?channel=2 HTTP/1.1\r\nHost: a\r\n\r\n", "KXRXML/Status?channel=2",
         "channel=2"},
        {"GET /KXRXML/Status&channel=2 HTTP/1.1", "KXRXML/Status&channel=2",
         "KXRXML/Status&channel=2"},
        {"GET /KXRXML/NextDirEntry&x=1 HTTP/1.1", "KXRXML/NextDirEntry&x=1", ""},
        // Without "HTTP/" the rest of the text is the path.
        {"GET /KXRGetState", "KXRGetState", "KXRGetState"},
        // A path of five characters or fewer keeps everything after it.
        {"GET /KXR HTTP/1.1", "KXR HTTP/1.1", "KXR HTTP/1.1"},
        {"", "", ""},
    };
    for (const auto& [text, path, query] : cases) {
        CHttpRequest r;
        kxr::ParseRequestText(text, r);
        EXPECT_EQ(r.path + "|" + r.query, std::string(path) + "|" + query) << text;
        EXPECT_TRUE(r.clipQuery == r.query && r.fileQuery == r.query && r.parsed == 1) << text;
    }
}

using Dispatcher = ApiTest;

TEST_F(Dispatcher, XmlBranchTakesTheLastChannelPiece) {
    kxr::selectedChannel = 6;
    engine.SetResult(kOrdGetLastChangeMs, 1234);
    EXPECT_EQ(Get("KXRXML/GetLastChangeMs?channel=2&x=1&CHANNEL= 5").body, "1234");
    Get("KXRXML/GetLastChangeMs");
    EXPECT_EQ(Trace(engine), "56(5,4294967295,0) 56(6,4294967295,0)");
    // The XML branch leaves the selected channel and the page fields alone.
    EXPECT_EQ(kxr::selectedChannel, 6u);
    EXPECT_TRUE(request.path.empty());
}

TEST_F(Dispatcher, UnknownWordEndsAsNotHandled) {
    client.actionFlags = 1;
    const Answer a = Get("KXRXML/NoSuchWord&channel=2");
    EXPECT_TRUE(a.result == 0 && !a.hasBody && client.channel == 2u && client.actionFlags == 0u);
    client.actionFlags = 1;
    EXPECT_EQ(Get("KXRNoSuchWord?load=X").result, 0);
    EXPECT_EQ(client.actionFlags, 0u);
}

using PageQuery = ApiTest;

TEST_F(PageQuery, ActsInQueryOrder) {
    engine.SetResult(kOrdGetTcType, 8); // pal: a second is 25 frames
    Get("KXRGetState?setchannel=2&mode=3&&load=CLIP0001X&speed=-65520&play&"
        "seek=+0:00:01:00&SEEK=-00:00:05:00&seek= "
        "00:00:05:00&seek=0&pause&channel=4&stop&eject&record&"
        "recstopNow&playlist=x&setpos=0:00:01:00&unknown=1");
    EXPECT_EQ(Trace(engine), "69(2,3) 16(2,0)'CLIP0001' 14(2,-65520,4294967295) 70(2) 24(2,25) "
                             "70(2) 24(2,-125) 70(2) 24(2,125) 70(2) 23(2,0) 22(2) 25(4) 32(4) "
                             "26(4) 28(4,4294967295)'Now' 14(4,-65520,4294967295) 70(4) 46(4)");
    EXPECT_EQ(std::make_tuple(kxr::selectedChannel, client.channel, client.position,
                              std::string(client.clip), client.actionFlags),
              std::make_tuple(2u, 4u, 25u, std::string("CLIP0001"), 1u));
}

TEST_F(PageQuery, ClipNamesArriveAsThePagesLinksEncodeThem) {
    Get("KXRGetState?load=a%20b%26c");
    EXPECT_EQ(Trace(engine), "16(0,0)'a b&c' 46(0)");
}

TEST_F(PageQuery, ResetsEveryFieldFirstAndCutsAnOverlongPage) {
    CHttpRequest r;
    kxr::ParseRequestText(("KXRXML?type=2&page=" + std::string(300, 'p') + "&clipid=ABC").c_str(),
                          r);
    client.ParsePageQuery(&r);
    EXPECT_EQ(std::to_string(client.pageType) + "|" + std::to_string(std::strlen(client.page)) +
                  "|" + client.clip,
              "2|259|ABC");
    kxr::selectedChannel = 5;
    client.actionFlags = client.position = client.loadOption = 1;
    client.speed = 1;
    client.recordStopValue = 0;
    CHttpRequest empty;
    EXPECT_EQ(client.ParsePageQuery(&empty), 1);
    EXPECT_EQ(std::vector<uint32_t>({client.actionFlags, client.channel, client.position,
                                     static_cast<uint32_t>(client.speed), client.loadOption,
                                     client.recordStopValue, client.pageType}),
              std::vector<uint32_t>({0, 5, 0, 65520, 0, 0xFFFFFFFF, 0}));
    EXPECT_EQ(std::string(client.clip, sizeof client.clip), std::string(sizeof client.clip, '\0'));
    EXPECT_STREQ(client.page, "");
    EXPECT_TRUE(engine.Calls().empty());
}

using ChannelQueries = ApiTest;

// The values api_channel_test does not poll: the path, the ordinal asked and its
// result, the answer and the engine calls.
TEST_F(ChannelQueries, AnswerPlainValues) {
    const std::tuple<const char*, unsigned, int64_t, const char*, const char*> cases[] = {
        {"KXRTotalInternalChannels", kOrdGetInternalChannelCount, 2, "2", "8()"},
        {"KXRGetPosition", kOrdGetPositionText, 0, "", "45(0)"}, // no text, no body
        {"KXRGetLastChangeXferMs&channel=2", kOrdGetLastChangeXferMs, 0xFFFFFFFF, "-1", "55(2)"},
        {"KXRSetErrorLogSave", kOrdSetErrorLog, -3, "-3", "114(4)"},
    };
    for (const auto& [path, ordinal, result, body, trace] : cases) {
        engine.Clear();
        engine.SetResult(ordinal, result);
        const Answer a = Get(path);
        EXPECT_EQ(std::make_tuple(a.result, a.body, a.hasBody, Trace(engine)),
                  std::make_tuple(1, std::string(body), a.length > 0, std::string(trace)))
            << path;
    }
}

TEST_F(ChannelQueries, ConvertsTimecodes) {
    engine.SetResult(kOrdGetTcType, kTcPal);
    EXPECT_EQ(Get("KXRTimecode&&&").body, "BadArg");
    EXPECT_EQ(Trace(engine), "");
    EXPECT_EQ(Get("KXRTimecode&&1:0:0:0").body, "01:00:00:00");
    EXPECT_EQ(Get("KXRTimecodeToString&90000?setchannel=1").body, "01:00:00:00");
    EXPECT_EQ(Trace(engine), "70(0) 70(1)");
}

} // namespace
} // namespace kxrtest

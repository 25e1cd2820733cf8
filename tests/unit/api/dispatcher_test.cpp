#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "api/http_request.h"
#include "api/my_http_client.h"
#include "kxr/tempex.h"
#include "tests/unit/api/api_test_support.h"

namespace kxrtest {
namespace {

using kxr::CHttpRequest;

struct ParseCase {
    const char* text;
    const char* path;
    const char* query;
};

TEST(RequestParsing, CutsPathAndQuery) {
    const std::vector<ParseCase> cases = {
        {"GET /KXRXML/Status?channel=2 HTTP/1.1\r\nHost: a\r\n\r\n", "KXRXML/Status?channel=2",
         "channel=2"},
        {"GET /KXRXML/Status&channel=2 HTTP/1.1", "KXRXML/Status&channel=2",
         "KXRXML/Status&channel=2"},
        {"GET /KXRXML/NextDirEntry&x=1 HTTP/1.1", "KXRXML/NextDirEntry&x=1", ""},
        {"GET /ab?c?d HTTP/1.1", "ab?c?d", "c?d"},
        // A bare path keeps its blanks, whatever the letter case.
        {"KXRXML/Status?channel=3 x", "KXRXML/Status?channel=3 x", "channel=3 x"},
        {"kxrxml/Status x", "kxrxml/Status x", "kxrxml/Status x"},
        // Without "HTTP/" the rest of the text is the path.
        {"GET /KXRGetState", "KXRGetState", "KXRGetState"},
        // A path of five characters or fewer keeps everything after it.
        {"GET /KXR HTTP/1.1", "KXR HTTP/1.1", "KXR HTTP/1.1"},
        {"", "", ""},
    };
    for (const ParseCase& c : cases) {
        CHttpRequest r;
        kxr::ParseRequestText(c.text, r);
        EXPECT_EQ(r.path, c.path) << c.text;
        EXPECT_EQ(r.query, c.query) << c.text;
        EXPECT_TRUE(r.clipQuery == r.query && r.fileQuery == r.query && r.parsed == 1) << c.text;
    }
}

using Dispatcher = ApiTest;

TEST_F(Dispatcher, PathsOutsideTheApiAreLeftAlone) {
    char sentinel = 0;
    char* body = &sentinel;
    int32_t length = 77;
    EXPECT_EQ(client.HandleRequest("GET /favicon.ico HTTP/1.1", &body, &length, &request), 0);
    EXPECT_TRUE(body == &sentinel && length == 77);
    // Only requests that pass the first test get their request emptied.
    EXPECT_EQ(request.path, "favicon.ico");
    const Answer index = Get("index.html");
    EXPECT_TRUE(index.result == 0 && index.length == 0 && !index.hasBody);
    EXPECT_TRUE(request.path.empty() && request.parsed == 0 && engine.Calls().empty());
}

TEST_F(Dispatcher, XmlBranchTakesTheLastChannelPiece) {
    kxr::selectedChannel = 6;
    engine.SetResult(kOrdGetLastChangeMs, 1234);
    Answer a = Get("KXRXML/GetLastChangeMs?channel=2&x=1&CHANNEL= 5");
    EXPECT_EQ(a.result, 1);
    EXPECT_EQ(a.body, "1234");
    a = Get("KXRXML/GetLastChangeMs");
    EXPECT_EQ(Trace(engine), "56(5,4294967295,0) 56(6,4294967295,0)");
    // The XML branch leaves the selected channel and the page fields alone.
    EXPECT_EQ(kxr::selectedChannel, 6u);
    EXPECT_TRUE(request.path.empty());
}

TEST_F(Dispatcher, UnknownWordEndsAsNotHandled) {
    client.actionFlags = 1;
    const Answer a = Get("KXRXML/NoSuchWord&channel=2");
    EXPECT_EQ(a.result, 0);
    EXPECT_FALSE(a.hasBody);
    EXPECT_EQ(client.channel, 2u);
    EXPECT_EQ(client.actionFlags, 0u);
    client.actionFlags = 1;
    EXPECT_EQ(Get("KXRNoSuchWord?load=X").result, 0);
    EXPECT_EQ(client.actionFlags, 0u);
}

TEST_F(Dispatcher, FirstWordInTheWholePathWins) {
    engine.SetResult(kOrdGetTcType, 8);
    // "TcType" in the query is found before "Media".
    EXPECT_EQ(Get("KXRMedia?type=0&load=TcTypeDemo").body, "8");
    EXPECT_EQ(Trace(engine), "16(0,0)'TcTypeDe' 70(0)");
    EXPECT_EQ(client.actionFlags, 1u);
}

TEST_F(Dispatcher, PassThroughWinsOverCommandWords) {
    const Answer a = Get("KXRPassThrough?/nonexistent/GetState");
    EXPECT_EQ(a.result, 1);
    EXPECT_EQ(a.length, 0);
    EXPECT_FALSE(a.hasBody);
    EXPECT_EQ(Trace(engine), "");
}

using PageQuery = ApiTest;

int32_t Frames(const char* text, uint32_t type) {
    int32_t frames = 0;
    TcTextToFrames(text, type, &frames);
    return frames;
}

TEST_F(PageQuery, ActsInQueryOrder) {
    engine.SetResult(kOrdGetTcType, 8);
    const int32_t second = Frames("0:00:01:00", 8);
    const int32_t five = Frames("00:00:05:00", 8);
    ASSERT_GT(second, 0);
    ASSERT_GT(five, 0);
    Get("KXRGetState?setchannel=2&mode=3&&load=CLIP0001X&speed=-65520&play&"
        "seek=+0:00:01:00&SEEK=-00:00:05:00&seek= "
        "00:00:05:00&seek=0&pause&channel=4&stop&eject&record&"
        "recstopNow&playlist=x&setpos=0:00:01:00&unknown=1");
    const std::string s = std::to_string(second);
    const std::string f = std::to_string(five);
    EXPECT_EQ(Trace(engine), "69(2,3) 16(2,0)'CLIP0001' 14(2,-65520,4294967295) 70(2) 24(2," + s +
                                 ") 70(2) 24(2,-" + f + ") 70(2) 24(2," + f +
                                 ") 70(2) 23(2,0) 22(2) 25(4) 32(4) 26(4) 28(4,4294967295)'Now' "
                                 "14(4,-65520,4294967295) 70(4) 46(4)");
    EXPECT_EQ(kxr::selectedChannel, 2u);
    EXPECT_EQ(client.channel, 4u);
    EXPECT_EQ(client.position, static_cast<uint32_t>(second));
    EXPECT_STREQ(client.clip, "CLIP0001");
    EXPECT_EQ(client.actionFlags, 1u);
}

TEST_F(PageQuery, ChannelLastsForOneRequestAndSetChannelForAll) {
    // Play uses only the speed given before it.
    for (const char* path : {"KXRGetState?play&speed=-65520", "KXRGetState?speed=65520&play",
                             "KXRGetState?play&channel=1", "KXRGetState?channel=2&stop",
                             "KXRGetFrame", "KXRChannelName&setchannel=3", "KXRGetFrame"})
        Get(path);
    EXPECT_EQ(Trace(engine), "13(0) 46(0) 13(0) 46(0) 13(0) 46(1) 25(2) 46(2) 39(0) 9(3) 39(3)");
    EXPECT_EQ(kxr::selectedChannel, 3u);
}

TEST_F(PageQuery, ResetsEveryFieldFirstAndCutsAnOverlongPage) {
    CHttpRequest r;
    kxr::ParseRequestText(("KXRXML?type=2&page=" + std::string(300, 'p') + "&clipid=ABC").c_str(),
                          r);
    client.ParsePageQuery(&r);
    EXPECT_EQ(client.pageType, 2u);
    EXPECT_EQ(std::strlen(client.page), 259u);
    EXPECT_STREQ(client.clip, "ABC");
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

} // namespace
} // namespace kxrtest

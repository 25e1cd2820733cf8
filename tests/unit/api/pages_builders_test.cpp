// The generated pages against a scripted engine: the bytes of the parts that
// carry engine values. The browser test clicks the media page's clip list.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "answer/my_http_client.h"
#include "api/pages.h"
#include "api/pages_common.h"
#include "binding/callback_slots.h"
#include "binding/engine_binding.h"
#include "kxr/rvutil.h"
#include "tests/support/fake_engine.h"

namespace kxr {
namespace {

using kxrtest::FakeEngine;

// A timeline entry: its file, in and out points, position and tracks.
struct Item {
    const char* name;
    int32_t in, out, position = 0;
    uint32_t video = 0, audioMask = 0;
};
// What the scripted entries answer; plain function pointers cannot capture.
std::vector<Item> timeline;
size_t nextItem = 0;
const char* revisions[2] = {};

bool Has(const std::string& page, const std::string& part) {
    return page.find(part) != std::string::npos;
}

class Pages : public ::testing::Test {
protected:
    void SetUp() override {
        timeline.clear();
        revisions[0] = revisions[1] = nullptr;
        table_ = fake_.Table();
        table_.timelineRewind = [](int32_t) { return nextItem = 0, 0; };
        table_.timelineNext = [](int32_t, int32_t* position, int32_t* in, int32_t* out,
                                 uint32_t* video, uint32_t* audio, uint32_t*, uint32_t*, char* file,
                                 uint32_t) -> uint32_t {
            if (nextItem >= timeline.size())
                return 0xFFFFFFFFu;
            const Item& e = timeline[nextItem++];
            *position = e.position, *in = e.in, *out = e.out, *video = e.video;
            return *audio = e.audioMask, std::strcpy(file, e.name), 0;
        };
        table_.getRevisionText = [] { return const_cast<char*>(revisions[0]); };
        table_.getMediaRevisionText = [] { return const_cast<char*>(revisions[1]); };
        SetEngineTable(&table_);
        // The timecode type comes by media command: PAL.
        SetMediaCmdHandler([](int32_t, MediaCmd* m) { return m->position = 8, 0; });
        client_.channel = 1;
    }
    void TearDown() override { SetMediaCmdHandler(nullptr); }

    std::string Build(AnswerBuilder builder) {
        char* body = nullptr;
        int32_t length = 0;
        EXPECT_EQ(builder(&client_, &body, &length, nullptr), 1);
        std::string text(body != nullptr ? body : "", static_cast<size_t>(length));
        EXPECT_EQ(text.size(), std::strlen(text.c_str()));
        RVFree(body);
        return text;
    }
    // Builds the page after setting the results (kept for the pages after)
    // and looks for a part of its bytes.
    void Expect(AnswerBuilder build, uint32_t type,
                std::vector<std::pair<unsigned, int64_t>> results, const std::string& part) {
        for (const auto& [ordinal, value] : results)
            fake_.SetResult(ordinal, value);
        client_.pageType = type;
        const std::string page = Build(build);
        EXPECT_TRUE(Has(page, part)) << type << page;
        EXPECT_NE(page.find(kPageHeadLines), std::string::npos) << page;
        if (build == &BuildStatusPage) { // on the second line
            EXPECT_EQ(page.find(kPageHeadLines), page.find('\n') + 1);
        }
    }

    FakeEngine fake_;
    EngineTable table_{};
    CMyHttpClient client_;
};

TEST_F(Pages, EachPageShowsTheEngineValues) {
    fake_.SetText(kOrdGetStateText, "Reverse");
    fake_.SetText(kOrdGetPositionText, "00:00:01:00");
    fake_.SetText(kOrdGetCurrentClip, "CLIPA");
    fake_.SetResult(kOrdGetSpeed, -65520);
    Expect(&BuildStatusPage, 0, {},
           "<BODY><P><H1 class=pageheader>KXR Status</H1></P><P>Reverse</P><P>-100%</P>"
           "<P>00:00:01:00</P><P>CLIPA</P></BODY></HTML>\n\r");
    Expect(&BuildStatusPage, 2, {}, "<BODY>Reverse -100% <BR>00:00:01:00 CLIPA</BODY>");
    Expect(&BuildChannelsPage, 0, {{kOrdGetChannelCount, 2}},
           "</TD>\n<TD width=100>Reverse &nbsp;-100%<BR>00:00:01:00<BR>CLIPA</TD>");
    Expect(&BuildSystemPage, 0, {{kOrdGetChannelType, 5}, {kOrdGetMode, 1}},
           "\n <TR><TD>Presets</TD><TD>V-0x1 A-0x3 I-0x0</TD></TR>"
           "\n <TR><TD>Mode</TD><TD>VTR Mode</TD></TR>"
           "\n <TR><TD>TC Type</TD><TD>PAL (25 FPS)</TD></TR>\n</TABLE>");
    Expect(&BuildAudioPage, 0,
           {{kOrdGetAudioInLevel, 32768},
            {kOrdGetAudioOutLevel, 0xFFFFFFFFu},
            {kOrdGetAudioInput, 512}},
           "<TD width=100>Input</TD><TD>AES/EBU</TD>\n </TR>"
           "\n <TR>\n  <TD width=100>In Level</TD><TD>50</TD>\n </TR>"
           "\n <TR>\n  <TD width=100>Output</TD><TD>Unknown</TD>\n </TR>"
           "\n <TR>\n  <TD width=100>Out Level</TD><TD>0</TD>\n </TR></BODY></HTML>\r\n");
    Expect(
        &BuildVideoPage, 0,
        {{kOrdGetSetupA, 0xFFFFFFFFu},
         {kOrdGetVideoLevelB, 0x10000},
         {kOrdGetSetupB, 0xFFFFFFFFu},
         {kOrdGetChromaB, 32768}},
        "<TD width=100>Video</TD><TD>100</TD>\n </TR>\n <TR>\n  <TD>Hue</TD><TD>0</TD>\n </TR>"
        "\n <TR>\n  <TD>Chroma</TD><TD>50</TD>\n </TR>\n <TR>\n  <TD>Reference</TD><TD>Internal");
    Expect(&BuildVideoPage, 0, {{kOrdGetSetupA, 0x2000}}, "<TD width=75>Setup</TD><TD>13</TD>");
    revisions[0] = "2.1";
    revisions[1] = "7";
    Expect(&BuildMiscPage, 0, {}, "\nKXR:&nbsp; 2.1<BR>ZN:&nbsp; 7</P>\n<center><p>");
    revisions[1] = nullptr; // shown only when both exist
    EXPECT_TRUE(Has(Build(&BuildMiscPage), "KXR:&nbsp; Not Available<BR>ZN:&nbsp; Not Available"));
}

TEST_F(Pages, MediaTimeline) {
    fake_.SetResult(kOrdGetChannelCount, 4);
    fake_.SetResult(kOrdGetMode, 1);
    client_.pageType = 2;
    timeline = {{"/media/clips/a.mov", 0, 250, 0, 1, 3},
                {"/media/b.wav", 10, 60, 250, 1, 6},
                {"/media/c.dpx", 0, 25, 300, 2, 0},
                {"/never/shown.mov", 0, -1, 325, 1, 0}};
    const std::string page = Build(&BuildMediaPage);
    const std::string seek = "<A HREF=\"KXRMedia?type=2&channel=1&seek=00:00:10:00\">";
    EXPECT_TRUE(Has(page, "\n <TR>\n  <TD noWrap class=media width=40>" + seek + "2</A></TD>" +
                              "\n  <TD noWrap class=media width=160>" + seek + "b.wav</A></TD>" +
                              "\n  <TD noWrap class=media width=80>" + seek +
                              "00:00:10:00</A></TD>" +
                              "\n  <TD noWrap class=media width=80>VA1A2</TD>"
                              "\n  <TD noWrap class=media width=80>00:00:02:00</TD>"
                              "\n  <TD noWrap class=media>/media/</TD>"));
    EXPECT_TRUE(Has(page, ">VAA</TD>") && Has(page, ">V+</TD>") && !Has(page, "shown.mov"));
}

} // namespace
} // namespace kxr

// The generated pages against a recording engine: which engine calls each page
// makes, in order, and the bytes of the parts that carry engine values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "api/my_http_client.h"
#include "api/pages.h"
#include "api/pages_common.h"
#include "kxr/rvutil.h"
#include "module/engine_binding.h"
#include "module/module_state.h"
#include "tests/support/fake_engine.h"

namespace kxr {
namespace {

using kxrtest::FakeEngine;

struct Clip {
    const char* name;
    int32_t in, out;
    const char* file;
};
struct Entry {
    int32_t position, in, out;
    uint32_t video, audioMask;
    const char* file;
};
// What the scripted entries answer; plain function pointers cannot capture.
std::vector<Clip> clips;
std::vector<Entry> timeline;
size_t nextEntry = 0;
const char* revisions[2] = {};

void Record(unsigned ordinal, std::vector<int64_t> args, const char* text = "") {
    FakeEngine::Current()->Record(ordinal, std::move(args), text);
}

class Pages : public ::testing::Test {
protected:
    void SetUp() override {
        clips = {{"CLIPA", 0, 250, "/media/a.mov"}, {"CLIPB", 25, 100, "/media/b.mov"}};
        timeline.clear();
        revisions[0] = revisions[1] = nullptr;
        table_ = fake_.Table();
        table_.getNextClip = [](int32_t c, char* name) {
            Record(kOrdGetNextClip, {c}, name);
            size_t next = 0;
            if (name[0] != ' ') {
                while (next < clips.size() && std::strcmp(clips[next].name, name) != 0)
                    ++next;
                ++next;
            }
            std::strcpy(name, next < clips.size() ? clips[next].name : "");
            return 0;
        };
        table_.getClipInfo = [](int32_t c, const char* name, int32_t* in, int32_t* out, uint32_t*,
                                uint32_t*, uint32_t*, char* file) {
            Record(kOrdGetClipInfo, {c}, name);
            for (const Clip& clip : clips)
                if (std::strcmp(clip.name, name) == 0)
                    *in = clip.in, *out = clip.out, std::strcpy(file, clip.file);
            return 0;
        };
        table_.timelineRewind = [](int32_t c) {
            return Record(kOrdTimelineRewind, {c}), nextEntry = 0, 0;
        };
        table_.timelineNext = [](int32_t c, int32_t* position, int32_t* in, int32_t* out,
                                 uint32_t* video, uint32_t* audio, uint32_t*, uint32_t*, char* file,
                                 uint32_t) -> uint32_t {
            Record(kOrdTimelineNext, {c});
            if (nextEntry >= timeline.size())
                return 0xFFFFFFFFu;
            const Entry& e = timeline[nextEntry++];
            *position = e.position, *in = e.in, *out = e.out, *video = e.video;
            *audio = e.audioMask;
            std::strcpy(file, e.file);
            return 0;
        };
        table_.getRevisionText = [] {
            return Record(kOrdGetRevisionText, {}), const_cast<char*>(revisions[0]);
        };
        table_.getMediaRevisionText = [] {
            return Record(kOrdGetMediaRevisionText, {}), const_cast<char*>(revisions[1]);
        };
        SetEngineTable(&table_);
        // The timecode type comes by media command: PAL.
        SetMediaCmdHandler([](int32_t c, MediaCmd* m) {
            Record(kOrdMediaCmd, {c, m->cmd, m->cmdAlt});
            return m->position = 8, 0;
        });
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
    bool Has(const std::string& page, const std::string& part) {
        return page.find(part) != std::string::npos;
    }

    FakeEngine fake_;
    EngineTable table_{};
    CMyHttpClient client_;
};

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

using Calls = std::vector<unsigned>;

TEST(PageArithmetic, EngineReadingsAsShown) {
    EXPECT_EQ(SpeedPercent(-65520), -100);
    EXPECT_EQ(SpeedPercent(98279), 149);
    EXPECT_EQ(AudioLevelPercent(65535), 99u);  // truncated
    EXPECT_EQ(VideoValuePercent(65535), 100u); // rounded
    EXPECT_EQ(ChannelCountFromMask(1, 1), 0u);
    EXPECT_EQ(ChannelCountFromMask(1, 0), 1u);
    EXPECT_EQ(ChannelCountFromMask(0x80000000u, 1), 32u);
    EXPECT_STREQ(VideoInputName(16), "Component Beta");
    EXPECT_STREQ(VideoOutputName(4096), "S-Video 2");
    EXPECT_STREQ(TcTypeLongName(3), "Unkown FPS");
    EXPECT_STREQ(ChannelModeName(7), "Default Mode");
}

TEST_F(Pages, StatusPagesReadTheChannels) {
    fake_.SetText(kOrdGetStateText, "Reverse");
    fake_.SetText(kOrdGetPositionText, "00:00:01:00");
    fake_.SetText(kOrdGetCurrentClip, "CLIPA");
    fake_.SetResult(kOrdGetSpeed, -65520);
    const std::pair<uint32_t, const char*> cases[] = {
        {0, "<BODY><P><H1 class=pageheader>KXR Status</H1></P><P>Reverse</P><P>-100%</P>"
            "<P>00:00:01:00</P><P>CLIPA</P></BODY></HTML>\n\r"},
        {1, "<BODY>Reverse -100% 00:00:01:00 CLIPA</BODY></HTML>\n\r"},
        {2, "<BODY>Reverse -100% <BR>00:00:01:00 CLIPA</BODY></HTML>\n\r"},
        {7, "<P>Reverse</P><P>-100%</P>"},
    };
    for (const auto& [type, body] : cases) {
        fake_.Clear();
        client_.pageType = type;
        const std::string page = Build(&BuildStatusPage);
        EXPECT_TRUE(Has(page, body)) << type << page;
        EXPECT_EQ(page.find(kPageHeadLines), page.find('\n') + 1);
        EXPECT_EQ(fake_.Ordinals(), (Calls{35, 46, 45, 38, 43}));
    }
    fake_.Clear();
    fake_.SetResult(kOrdGetChannelCount, 2);
    std::string page = Build(&BuildChannelsPage);
    EXPECT_EQ(fake_.Ordinals(), (Calls{7, 35, 46, 45, 38, 43, 35, 46, 45, 38, 43}));
    EXPECT_EQ(fake_.Calls()[6].args[0], 1);
    EXPECT_EQ(Count(page, "\n<TD width=100>Reverse &nbsp;-100%<BR>00:00:01:00<BR>CLIPA</TD>"), 2);
    fake_.SetResult(kOrdGetChannelCount, 0);
    EXPECT_TRUE(Has(Build(&BuildChannelsPage), "<TR align=middle></TR></TABLE></P></BODY>"));
}

TEST_F(Pages, SystemPageDescribesEveryChannel) {
    fake_.SetResult(kOrdGetChannelCount, 2);
    fake_.SetResult(kOrdGetChannelType, 5);
    fake_.SetResult(kOrdGetMode, 1);
    const std::string page = Build(&BuildSystemPage);
    EXPECT_EQ(fake_.Ordinals(), (Calls{126, 7, 9, 10, 77, 68, 33, 9, 10, 77, 68, 33, 128}));
    EXPECT_EQ(fake_.Calls()[11].args, (std::vector<int64_t>{1, 14, 8}));
    EXPECT_TRUE(Has(page, "<BR>\n2 Channels<BR>\n\n\n<HR><CENTER><B>Channel 0</B></CENTER><BR>\n"));
    EXPECT_TRUE(Has(page, "\n <TR><TD width=\"100\">Type</TD><TD width=\"250\">5</TD></TR>"
                          "\n <TR><TD>Presets</TD><TD>V-0x1 A-0x3 I-0x0</TD></TR>"
                          "\n <TR><TD>Mode</TD><TD>VTR Mode</TD></TR>"
                          "\n <TR><TD>TC Type</TD><TD>PAL (25 FPS)</TD></TR>\n</TABLE>"));
}

TEST_F(Pages, AudioAndVideoPagesShowSettings) {
    fake_.SetResult(kOrdGetAudioInLevel, 32768);
    fake_.SetResult(kOrdGetAudioOutLevel, 0xFFFFFFFFu);
    fake_.SetResult(kOrdGetAudioInput, 512);
    std::string page = Build(&BuildAudioPage);
    EXPECT_EQ(fake_.Ordinals(), (Calls{80, 84, 77, 78, 82}));
    EXPECT_TRUE(Has(page, "\n <TR>\n  <TD width=100>Channels</TD><TD>2</TD>\n </TR>"
                          "\n <TR>\n  <TD width=100>Input</TD><TD>AES/EBU</TD>\n </TR>"
                          "\n <TR>\n  <TD width=100>In Level</TD><TD>50</TD>\n </TR>"
                          "\n <TR>\n  <TD width=100>Output</TD><TD>Unknown</TD>\n </TR>"
                          "\n <TR>\n  <TD width=100>Out Level</TD><TD>0</TD>\n </TR>"
                          "</BODY></HTML>\r\n"));

    fake_.Clear();
    fake_.SetResult(kOrdGetSetupA, 0xFFFFFFFFu);
    fake_.SetResult(kOrdGetVideoLevelB, 0x10000);
    fake_.SetResult(kOrdGetSetupB, 0xFFFFFFFFu);
    fake_.SetResult(kOrdGetChromaB, 32768);
    fake_.SetResult(kOrdGetVideoInput, 8);
    page = Build(&BuildVideoPage);
    EXPECT_EQ(fake_.Ordinals(), (Calls{91, 101, 99, 103, 105, 87, 107, 89}));
    EXPECT_TRUE(Has(page, "\n <TR>\n  <TD width=100>Input</TD><TD>Unknown</TD>\n </TR>"
                          "\n <TR>\n  <TD width=100>Video</TD><TD>100</TD>\n </TR>"
                          "\n <TR>\n  <TD>Hue</TD><TD>0</TD>\n </TR>"
                          "\n <TR>\n  <TD>Chroma</TD><TD>50</TD>\n </TR>"
                          "\n <TR>\n  <TD>Reference</TD><TD>Internal"
                          "\n <TR>\n  <TD width=100>Output</TD><TD>Unknown</TD>\n </TR>"));
    fake_.Clear();
    fake_.SetResult(kOrdGetSetupA, 0x2000);
    page = Build(&BuildVideoPage);
    EXPECT_EQ(fake_.Ordinals(), (Calls{91, 93, 91, 95, 97, 87, 107, 89}));
    EXPECT_TRUE(Has(page, "<TD width=75>Setup</TD><TD>13</TD>"));
}

TEST_F(Pages, MiscPageShowsRevisionsOnlyWhenBothExist) {
    revisions[0] = "2.1";
    revisions[1] = "7";
    EXPECT_TRUE(Has(Build(&BuildMiscPage), "\nKXR:&nbsp; 2.1<BR>ZN:&nbsp; 7</P>\n<center><p>"));
    EXPECT_EQ(fake_.Ordinals(), (Calls{124, 125, 128, 128}));
    revisions[1] = nullptr;
    EXPECT_TRUE(Has(Build(&BuildMiscPage), "KXR:&nbsp; Not Available<BR>ZN:&nbsp; Not Available"));
}

TEST_F(Pages, MediaClipTableMarksTheCurrentClip) {
    fake_.SetResult(kOrdGetChannelCount, 4);
    client_.pageType = 2;
    fake_.SetText(kOrdGetCurrentClip, "CLIPB");
    std::string page = Build(&BuildMediaPage);
    EXPECT_EQ(fake_.Ordinals(), (Calls{7, 33, 68, 43, 47, 48, 47, 48, 47}));
    EXPECT_TRUE(Has(page, "FileName</TD>\n </TR>\n\n <TR>\n  <TD noWrap class=media width=80><a "
                          "href=\"KXRMedia?type=2&channel=1&load=CLIPA\">CLIPA</A></TD>"
                          "\n  <TD noWrap class=media width=80>00:00:10:00</TD>"
                          "\n  <TD noWrap class=media>/media/a.mov</TD> </TR>"
                          "\n <TR class=\"mediaSelected\">\n  <TD noWrap class=media width=80><a "
                          "href=\"KXRMedia?type=2&channel=1&load=CLIPB\">CLIPB</A></TD>"
                          "\n  <TD noWrap class=media width=80>00:00:03:00</TD>"));
    EXPECT_TRUE(Has(page, " </TR></TABLE>\n\n<center><a href=\"KXRMedia?type=2\">[REFRESH]"));

    // A clip that this request loaded is current before the engine says so.
    fake_.Clear();
    client_.actionFlags = 1;
    std::strcpy(client_.clip, "CLIPA");
    page = Build(&BuildMediaPage);
    EXPECT_EQ(fake_.Ordinals(), (Calls{7, 33, 68, 47, 48, 47, 48, 47}));
    EXPECT_EQ(Count(page, "mediaSelected"), 1);
    EXPECT_TRUE(Has(page, "<TR class=\"mediaSelected\">\n  <TD noWrap class=media width=80><a "
                          "href=\"KXRMedia?type=2&channel=1&load=CLIPA\">"));
    clips.clear();
    EXPECT_TRUE(Has(Build(&BuildMediaPage), "FileName</TD>\n </TR>\n</TABLE>\n"));
}

TEST_F(Pages, MediaPageTypeChoosesTheControls) {
    fake_.SetResult(kOrdGetChannelCount, 4);
    fake_.SetResult(kOrdGetMode, 2);
    for (uint32_t type : {0u, 1u, 2u, 9u}) {
        client_.pageType = type;
        const std::string page = Build(&BuildMediaPage);
        EXPECT_EQ(Count(page, "<FORM NAME=\"KXRSelects\">") +
                      Count(page, "<FORM NAME=\"KXRMode\">"),
                  type == 0 ? 2 : 0);
        EXPECT_EQ(Count(page, "<IMG width=18 height=18"), type < 2 ? 6 : 0) << type;
    }
    client_.pageType = 0;
    const std::string page = Build(&BuildMediaPage);
    EXPECT_TRUE(
        Has(page, "\n  <OPTION selected value=\"KXRMedia?type=0&channel=1&setchannel=1\">"));
    EXPECT_EQ(Count(page, "&setchannel="), 4);
    EXPECT_TRUE(Has(page, "\n <OPTION selected value=\"KXRMedia?type=0&channel=1&mode=2\">Single "
                          "Mode</OPTION>\n</SELECT>\n</FORM>"));
    EXPECT_TRUE(Has(page, "\n<A HREF=\"KXRMedia?type=0&channel=1&speed=-65520&play\"><IMG width=18 "
                          "height=18 alt=\"Reverse Play\" src=\"Graphics/kxr_rplay.gif\"></A>"));
}

TEST_F(Pages, MediaTimelineAndStartTimecodes) {
    fake_.SetResult(kOrdGetChannelCount, 4);
    fake_.SetResult(kOrdGetMode, 1);
    client_.pageType = 2;
    timeline = {{0, 0, 250, 1, 3, "/media/clips/a.mov"},
                {250, 10, 60, 1, 6, "/media/b.wav"},
                {300, 0, 25, 2, 0, "/media/c.dpx"},
                {325, 0, -1, 1, 0, "/never/shown.mov"}};
    std::string page = Build(&BuildMediaPage);
    EXPECT_EQ(fake_.Ordinals(), (Calls{7, 33, 68, 53, 54, 54, 54, 54}));
    const std::string seek = "<A HREF=\"KXRMedia?type=2&channel=1&seek=00:00:10:00\">";
    EXPECT_TRUE(Has(page, "\n <TR>\n  <TD noWrap class=media width=40>" + seek + "2</A></TD>" +
                              "\n  <TD noWrap class=media width=160>" + seek + "b.wav</A></TD>" +
                              "\n  <TD noWrap class=media width=80>" + seek +
                              "00:00:10:00</A></TD>" +
                              "\n  <TD noWrap class=media width=80>VA1A2</TD>"
                              "\n  <TD noWrap class=media width=80>00:00:02:00</TD>"
                              "\n  <TD noWrap class=media>/media/</TD>"));
    EXPECT_TRUE(Has(page, ">VAA</TD>") && Has(page, ">V+</TD>") &&
                Has(page, ">/media/clips/</TD>"));
    EXPECT_FALSE(Has(page, "shown.mov"));

    fake_.SetResult(kOrdGetMode, 3);
    page = Build(&BuildMediaPage);
    EXPECT_EQ(Count(page, "&seek="), 48);
    EXPECT_TRUE(Has(page, "<TD>&nbsp;&nbsp;<A HREF=\"KXRMedia?type=2&channel=1&seek=00:00:00:00\">"
                          "00:00:00:00</A></TD></TR>"));
    EXPECT_TRUE(Has(page, "&seek=23:30:00:00\">23:30:00:00</A></TD></TR></TABLE>\n"));
}

TEST_F(Pages, MediaPageForAMissingChannelOffersTheOthers) {
    fake_.SetResult(kOrdGetChannelCount, 4);
    client_.channel = 5;
    const std::string page = Build(&BuildMediaPage);
    EXPECT_TRUE(Has(page, "</HEAD><BODY>\n\r<H1 class=pageheader>Requested channel [5] does not "
                          "exist</H1><BR>\n<FORM NAME=\"KXRSelects\">"));
    EXPECT_EQ(Count(page, "&setchannel="), 4);
    EXPECT_TRUE(Has(page, "&setchannel=3\"></OPTION>\n</SELECT></FORM><FORM NAME=\"KXRMode\">"));
    EXPECT_FALSE(Has(page, "[REFRESH]"));
    // The selector asks for the count once more than there are channels.
    const Calls calls = fake_.Ordinals();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), kOrdGetChannelCount), 6);
}

} // namespace
} // namespace kxr

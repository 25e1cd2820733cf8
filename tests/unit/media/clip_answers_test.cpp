// The clip, timeline, picon, metadata and watch-folder answers against a
// capturing media-command slot and the fake engine table.
#include "media/clip_answers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "capturing_engine.h"
#include "media/status_answers.h"

namespace {

using kxrtest::Render;

constexpr const char* kHead = "<?xml version=\"1.0\" encoding=\"iso-8859-1\" ?>";

std::string Text(const MediaCmd& r, size_t offset) {
    const char* text = reinterpret_cast<const char*>(&r) + offset;
    return std::string(text, strnlen(text, sizeof(MediaCmd) - offset));
}

void PutText(MediaCmd* r, size_t offset, const std::string& text) {
    std::memcpy(reinterpret_cast<char*>(r) + offset, text.c_str(), text.size() + 1);
}

using ClipAnswers = kxrtest::MediaTest;

TEST_F(ClipAnswers, ClipInfoDescribesAKnownClipWithItsPicon) {
    client_.channel = 2;
    engine_.tcTypes = {{2, 8}};
    engine_.reply = [](int32_t, MediaCmd* r) {
        if (r->cmdAlt == kValueClipInfo) {
            r->position = 250, r->start = 0, r->end = 500;
            PutText(r, 85, "/m/clip1.mov");
        } else if (r->cmdAlt == kValuePicon) {
            PutText(r, 76, "/m/clip1.picon.jpg"), r->position = 0;
        }
    };
    EXPECT_EQ(Run(kxr::HandleClipInfoRequest, "clip1&channel=2"),
              std::string(kHead) + "<ClipInfo><!-- Tarvik ClipInfo xml structure version 1,0 -->"
                                   "<Channel Value=\"2\">2</Channel><ClipID>clip1</ClipID>"
                                   "<FileName>/m/clip1.mov</FileName>"
                                   "<Position Value=\"250\" TcType=\"pal\">00:00:10:00</Position>"
                                   "<Start Value=\"0\" TcType=\"pal\">00:00:00:00</Start>"
                                   "<End Value=\"500\" TcType=\"pal\">00:00:20:00</End>"
                                   "<Picon>/m/clip1.picon.jpg</Picon></ClipInfo>");
    EXPECT_EQ(Sent(), "2:14/8 2:14/95 2:14/1000000"); // timecode, clip info, picon
    EXPECT_EQ(engine_.sent[2].record.flags, 0x12000u);
    EXPECT_EQ(Text(engine_.sent[2].record, 76).substr(0, 5), "clip1");
}

TEST_F(ClipAnswers, UnknownClipAnswersWithAnErrorRecord) {
    engine_.reply = [](int32_t, MediaCmd* r) { PutText(r, 85, "stale.mov"); };
    const std::string answer = Run(kxr::HandleClipInfoRequest, "nosuch");
    ASSERT_EQ(Sent(), "0:14/8 0:14/95"); // no picon asked
    MediaCmd expected = engine_.sent[1].record;
    expected.cmd = kCmdError, expected.flags = 0x2000;
    std::memset(expected.text, 0, sizeof expected.text);
    EXPECT_EQ(answer, Render(expected, 2));
}

TEST_F(ClipAnswers, EdlStateAndInfoDescribeTheEntryAtAPosition) {
    client_.channel = 2;
    engine_.tcTypes = {{2, 8}};
    engine_.reply = [](int32_t, MediaCmd* r) {
        if (r->cmdAlt == kValueTimelineEntry) {
            r->start = 100, r->end = 200, r->channel = 7; // channel put back by the answer
        }
    };
    EXPECT_EQ(Run(kxr::HandleEdlStateRequest, "position=00:00:05:00&channel=2"),
              std::string(kHead) + "<EDLLine><!-- Tarvik EDLLine xml structure version 1,0 -->"
                                   "<Channel Value=\"2\">2</Channel><FileName></FileName>"
                                   "<Position Value=\"125\" TcType=\"pal\">00:00:05:00</Position>"
                                   "<Start Value=\"100\" TcType=\"pal\">00:00:04:00</Start>"
                                   "<End Value=\"200\" TcType=\"pal\">00:00:08:00</End></EDLLine>");
    ASSERT_EQ(Sent(), "2:14/8 2:14/8 2:14/93"); // the query's timecode, the answer's, the entry
    const MediaCmd sent = engine_.sent[2].record;
    EXPECT_EQ(sent.flags, 0x10060u | MCF_FROMTEXT);
    EXPECT_EQ(sent.position, 125);

    MediaCmd expected = sent;
    expected.start = 100, expected.end = 200;
    EXPECT_EQ(Run(kxr::HandleEdlInfoRequest, "position=00:00:05:00&channel=2"),
              Render(expected, 8));
}

// What the picon request sends: flags, the clip-name field (9 bytes) and the
// file field. The engine keeps the name, so the name itself is opened and fails.
TEST_F(ClipAnswers, PiconRequestFillsTheNameFields) {
    // The query, the flags, the clip-name field and the file field.
    const std::tuple<const char*, uint32_t, const char*, const char*> rows[] = {
        {"clip1&channel=0", 0x12000, "clip1", "clip1"},
        {"/media/long/name.mov&x", 0x12000, "", "/media/long/name.mov"},
        // Special names ask for fixed pictures.
        {"::Test&channel=0", 0, "::Test", "img\\test.picon.jpg"},
    };
    int32_t result = -1;
    for (const auto& [query, flags, clipField, fileField] : rows) {
        engine_.sent.clear();
        EXPECT_EQ(Run(kxr::HandleGetPiconRequest, query, &result), "");
        EXPECT_EQ(result, 0) << query;
        ASSERT_EQ(Sent(), "0:14/1000000") << query;
        const MediaCmd& sent = engine_.sent[0].record;
        EXPECT_EQ(sent.flags, flags) << query;
        EXPECT_EQ(std::string(sent.text, strnlen(sent.text, 9)) + "|" + Text(sent, 85),
                  std::string(clipField) + "|" + fileField)
            << query;
    }
    engine_.sent.clear();
    Run(kxr::HandleGetPiconRequest, "&channel=0", &result);
    EXPECT_TRUE(result == 0 && engine_.sent.empty());
    // A VTR channel is asked by frame.
    fake_.SetResult(kOrdGetMode, 1);
    Run(kxr::HandleGetPiconRequest, "1200&channel=0", &result);
    const MediaCmd sent = engine_.sent.at(0).record;
    EXPECT_TRUE(sent.flags == 0x10040u && sent.position == 1200 && sent.text[0] == '\0');
}

TEST_F(ClipAnswers, MetaDataAndWatchFolderAreBareEnvelopes) {
    const std::tuple<kxr::AnswerBuilder, std::string, std::string> rows[] = {
        {kxr::HandleMetaDataRequest, "MetaData", "metadata"},
        {kxr::HandleWatchFolderRequest, "WatchFolder", "watch folder"}};
    for (const auto& [handler, root, kind] : rows)
        EXPECT_EQ(Run(handler, "KXRXMLMetaData&filename=a.mov"),
                  kHead + ("<" + root + "><!-- Tarvik " + kind +
                           " message xml structure version 1,0 --></" + root + ">"));
    EXPECT_TRUE(engine_.sent.empty());
}

} // namespace

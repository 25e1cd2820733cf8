// The clip, timeline and picon answers against a capturing media-command slot
// and the fake engine table.
#include "media/clip_answers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "api/http_request.h"
#include "api/my_http_client.h"
#include "api/xml_answer.h"
#include "capturing_engine.h"
#include "kxr/kxrutil.h"
#include "kxr/rvutil.h"
#include "tests/support/fake_engine.h"

namespace {

using kxr::CHttpRequest;
using kxr::CMyHttpClient;

constexpr const char* kHead = "<?xml version=\"1.0\" encoding=\"iso-8859-1\" ?>";

std::string Text(const MediaCmd& r, size_t offset) {
    const char* text = reinterpret_cast<const char*>(&r) + offset;
    return std::string(text, strnlen(text, sizeof(MediaCmd) - offset));
}

void PutText(MediaCmd* r, size_t offset, const std::string& text) {
    std::memcpy(reinterpret_cast<char*>(r) + offset, text.c_str(), text.size() + 1);
}

std::string Render(const MediaCmd& record, uint32_t tcType) {
    TiXmlDocument document;
    MediaCmdToXML(&document, &record, tcType);
    return kxr::PrintCompact(document);
}

class ClipAnswers : public ::testing::Test {
protected:
    using Handler = int32_t (*)(CMyHttpClient*, char**, int32_t*, CHttpRequest*);

    // Runs a handler on a query and keeps the answer text.
    int32_t Run(Handler handler, const std::string& query) {
        CHttpRequest request;
        request.query = request.clipQuery = request.fileQuery = query;
        request.path = "KXRXML?" + query;
        char* body = nullptr;
        int32_t length = 0;
        const int32_t result = handler(&client_, &body, &length, &request);
        answer_ = body != nullptr ? std::string(body, static_cast<size_t>(length)) : "";
        EXPECT_TRUE(body == nullptr || body[0] != '<' || body[length] == '\0');
        if (body != nullptr)
            RVFree(body);
        return result;
    }

    // The records sent, without the timecode-type queries.
    std::vector<kxrtest::SentRecord> Commands() const {
        std::vector<kxrtest::SentRecord> out;
        for (const auto& s : capture_.sent)
            if (!(s.record.cmd == kCmdGetValue && s.record.cmdAlt == kValueTcType))
                out.push_back(s);
        return out;
    }

    kxrtest::FakeEngine fake_;
    kxrtest::CapturingEngine capture_;
    CMyHttpClient client_;
    std::string answer_;
};

TEST_F(ClipAnswers, ClipInfoDescribesAKnownClipWithItsPicon) {
    client_.channel = 2;
    capture_.tcTypes = {{2, 8}};
    capture_.reply = [](int32_t, MediaCmd* r) {
        if (r->cmdAlt == kValueClipInfo) {
            r->position = 250, r->start = 0, r->end = 500;
            PutText(r, 85, "/m/clip1.mov");
        } else if (r->cmdAlt == kValuePicon) {
            PutText(r, 76, "/m/clip1.picon.jpg"), r->position = 0;
        }
    };
    EXPECT_EQ(Run(kxr::HandleClipInfoRequest, "clip1&channel=2"), 1);
    EXPECT_EQ(answer_, std::string(kHead) +
                           "<ClipInfo><!-- Tarvik ClipInfo xml structure version 1,0 -->"
                           "<Channel Value=\"2\">2</Channel><ClipID>clip1</ClipID>"
                           "<FileName>/m/clip1.mov</FileName>"
                           "<Position Value=\"250\" TcType=\"pal\">00:00:10:00</Position>"
                           "<Start Value=\"0\" TcType=\"pal\">00:00:00:00</Start>"
                           "<End Value=\"500\" TcType=\"pal\">00:00:20:00</End>"
                           "<Picon>/m/clip1.picon.jpg</Picon></ClipInfo>");
    const auto sent = Commands();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].record.cmdAlt, kValueClipInfo);
    EXPECT_TRUE(sent[1].record.cmdAlt == kValuePicon && sent[1].channelArgument == 2);
    EXPECT_EQ(sent[1].record.flags, 0x12000u);
    EXPECT_EQ(Text(sent[1].record, 76).substr(0, 5), "clip1");
}

TEST_F(ClipAnswers, ClipInfoOfTypeZeroWithoutFileOrPicon) {
    capture_.tcTypes = {{0, 0}};
    capture_.reply = [](int32_t, MediaCmd* r) {
        if (r->cmdAlt == kValueClipInfo) {
            r->position = 7, r->start = -5, r->end = 12;
        } else if (r->cmdAlt == kValuePicon) {
            r->position = -1; // no picture
        }
    };
    EXPECT_EQ(Run(kxr::HandleClipInfoRequest, "LONGNAME_CUT"), 1);
    EXPECT_EQ(answer_, std::string(kHead) +
                           "<ClipInfo><!-- Tarvik ClipInfo xml structure version 1,0 -->"
                           "<Channel Value=\"0\">0</Channel><ClipID>LONGNAME</ClipID>"
                           "<Position Value=\"7\" TcType=\"\">7</Position>"
                           "<Start Value=\"-5\" TcType=\"\">-5</Start>"
                           "<End Value=\"12\" TcType=\"\">12</End></ClipInfo>");
}

TEST_F(ClipAnswers, UnknownClipAnswersWithAnErrorRecord) {
    capture_.reply = [](int32_t, MediaCmd* r) { PutText(r, 85, "stale.mov"); };
    EXPECT_EQ(Run(kxr::HandleClipInfoRequest, "nosuch"), 1);
    MediaCmd expected = Commands().at(0).record;
    expected.cmd = kCmdError, expected.flags = 0x2000;
    std::memset(expected.text, 0, sizeof expected.text);
    EXPECT_EQ(answer_, Render(expected, 2));
    EXPECT_EQ(Commands().size(), 1u); // no picon asked
}

TEST_F(ClipAnswers, NextClipPassesTheNamedClipAndAnswersForTheNextOne) {
    const std::pair<const char*, const char*> rows[] = {
        {"", ""},         {"KXRXMLNextClip", ""},       {"channel=3", ""},
        {"a%20b", "a b"}, {"clip1&channel=3", "clip1"}, {"clip1channel=3", "clip1"},
    };
    fake_.SetText(kOrdGetNextClip, "clip2");
    for (const auto& [query, passed] : rows) {
        fake_.Clear();
        capture_.sent.clear();
        EXPECT_EQ(Run(kxr::HandleNextClipRequest, query), 1);
        ASSERT_EQ(fake_.Calls().size(), 1u);
        EXPECT_EQ(fake_.Calls()[0].ordinal, static_cast<unsigned>(kOrdGetNextClip));
        EXPECT_EQ(fake_.Calls()[0].text, passed) << query;
        EXPECT_EQ(Text(Commands().at(0).record, 76), "clip2");
    }
}

TEST_F(ClipAnswers, EdlStateAndInfoDescribeTheEntryAtAPosition) {
    client_.channel = 2;
    capture_.tcTypes = {{2, 8}};
    capture_.reply = [](int32_t, MediaCmd* r) {
        if (r->cmdAlt == kValueTimelineEntry) {
            r->start = 100, r->end = 200, r->channel = 7; // channel put back by the answer
        }
    };
    EXPECT_EQ(Run(kxr::HandleEdlStateRequest, "position=00:00:05:00&channel=2"), 1);
    EXPECT_EQ(answer_, std::string(kHead) +
                           "<EDLLine><!-- Tarvik EDLLine xml structure version 1,0 -->"
                           "<Channel Value=\"2\">2</Channel><FileName></FileName>"
                           "<Position Value=\"125\" TcType=\"pal\">00:00:05:00</Position>"
                           "<Start Value=\"100\" TcType=\"pal\">00:00:04:00</Start>"
                           "<End Value=\"200\" TcType=\"pal\">00:00:08:00</End></EDLLine>");
    const MediaCmd sent = Commands().at(0).record;
    EXPECT_TRUE(sent.cmd == kCmdGetValue && sent.cmdAlt == kValueTimelineEntry);
    EXPECT_EQ(sent.flags, 0x10060u | MCF_FROMTEXT);
    EXPECT_EQ(sent.position, 125);

    capture_.sent.clear();
    EXPECT_EQ(Run(kxr::HandleEdlInfoRequest, "position=00:00:05:00&channel=2"), 1);
    MediaCmd expected = sent;
    expected.start = 100, expected.end = 200;
    EXPECT_EQ(answer_, Render(expected, 8));
}

// What the picon request sends: flags, the clip-name field (9 bytes) and the
// file field. The engine keeps the name, so the name itself is opened and fails.
TEST_F(ClipAnswers, PiconRequestFillsTheNameFields) {
    const struct {
        const char* query;
        uint32_t flags;
        const char* clipField;
        const char* fileField;
    } rows[] = {
        {"clip1&channel=0", 0x12000, "clip1", "clip1"},
        {"/media/long/name.mov&x", 0x12000, "", "/media/long/name.mov"},
        // Special names ask for fixed pictures.
        {"::Test&channel=0", 0, "::Test", "img\\test.picon.jpg"},
        {"::Bars", 0, "::Bars", "img\\test.picon.jpg"},
        {"::VTR_TC", 0, "::VTR_TC", "img\\vtr_tc.picon.jpg"},
        {"::Film", 0, "::Film", "img\\film.picon.jpg"},
        {"::Edit", 0, "::Edit", "img\\edit.picon.jpg"},
        {"::Other", 0, "::Other", "img\\black.picon.jpg"},
    };
    for (const auto& row : rows) {
        capture_.sent.clear();
        EXPECT_EQ(Run(kxr::HandleGetPiconRequest, row.query), 0) << row.query;
        EXPECT_TRUE(answer_.empty());
        const MediaCmd sent = Commands().at(0).record;
        EXPECT_EQ(sent.cmdAlt, kValuePicon);
        EXPECT_EQ(sent.flags, row.flags) << row.query;
        EXPECT_EQ(std::string(sent.text, strnlen(sent.text, 9)), row.clipField) << row.query;
        EXPECT_EQ(Text(sent, 85), row.fileField) << row.query;
    }
    capture_.sent.clear();
    EXPECT_EQ(Run(kxr::HandleGetPiconRequest, "&channel=0"), 0);
    EXPECT_TRUE(Commands().empty());
    // A VTR channel is asked by frame.
    fake_.SetResult(kOrdGetMode, 1);
    EXPECT_EQ(Run(kxr::HandleGetPiconRequest, "1200&channel=0"), 0);
    const MediaCmd sent = Commands().at(0).record;
    EXPECT_TRUE(sent.flags == 0x10040u && sent.position == 1200 && sent.text[0] == '\0');
}

TEST_F(ClipAnswers, PiconSendsTheFileTheEngineNamed) {
    const auto path = std::filesystem::temp_directory_path() / "kxr_media2_picon.jpg";
    const std::string bytes("\xFF\xD8\xFF\xE0 jpeg \0 bytes \xFF\xD9", 20);
    std::ofstream(path, std::ios::binary) << bytes;
    static std::string named;
    named = path.string();
    capture_.reply = [](int32_t, MediaCmd* r) { PutText(r, 76, named); };
    EXPECT_EQ(Run(kxr::HandleGetPiconRequest, "clip1"), 1);
    EXPECT_EQ(answer_, bytes);
    std::filesystem::remove(path);
}

} // namespace

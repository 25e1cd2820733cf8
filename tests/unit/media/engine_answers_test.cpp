// The card-info and error-log answers against an engine table that serves
// card settings and a fixed list of messages.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "binding/engine_binding.h"
#include "capturing_engine.h"
#include "media/card_answers.h"
#include "media/error_answers.h"

namespace {

constexpr const char* kEnvelope = "<?xml version=\"1.0\" encoding=\"iso-8859-1\" ?>"
                                  "<ErrorMsg><!-- Tarvik error message xml structure version "
                                  "1,0 -->";

// The card's settings by code; the engine's log, code and text: read hands
// back the next index, as the simulated engine does.
std::map<uint32_t, uint32_t> settings;
std::vector<std::pair<int32_t, std::string>> messages;

void Record(unsigned ordinal, std::vector<int64_t> args) {
    kxrtest::FakeEngine::Current()->Record(ordinal, std::move(args));
}

class EngineAnswers : public kxrtest::MediaTest {
protected:
    void SetUp() override {
        table_ = fake_.Table();
        table_.getSetting = [](int32_t c, uint32_t code, uint32_t a, uint32_t b) {
            return Record(kOrdGetSetting, {c, code, a, b}), settings[code];
        };
        table_.errorLogCount = [](uint32_t* count) {
            Record(kOrdErrorLogCount, {});
            return *count = static_cast<uint32_t>(messages.size()), 0;
        };
        table_.errorLogLength = [](uint32_t* i, uint32_t* length) {
            Record(kOrdErrorLogLength, {*i});
            return *length = *i < messages.size() ? messages[*i].second.size() : 0, 0;
        };
        table_.errorLogRead = [](uint32_t* i, int32_t* code, char* text, uint16_t* y, uint16_t* a,
                                 uint16_t* b, uint16_t* h, uint16_t* m, uint16_t* s, uint16_t* f) {
            Record(kOrdErrorLogRead, {*i});
            if (*i >= messages.size())
                return -1;
            *code = messages[*i].first;
            std::strcpy(text, messages[(*i)++].second.c_str());
            return *y = 2026, *a = 12, *b = 5, *h = 9, *m = 8, *s = 7, *f = 6, 0;
        };
        kxr::SetEngineTable(&table_);
        settings = {{900, 0x11A04219}, {731, 0x20000}, {722, 10}, {727, 0x2}, {744, 1}};
        fake_.SetText(kOrdGetChannelName, "Card <A>");
        fake_.SetResult(kOrdGetStorageFree, 5000);
        fake_.SetResult(kOrdGetVideoOutput, 0x100000);
        fake_.SetResult(kOrdGetVideoInput, 0x100000);
        messages = {{-1, "disk <full>"}, {5, std::string(5000, 'x')}};
    }
    EngineTable table_{};
};

TEST_F(EngineAnswers, CardInfoDescribesTheCardInOrder) {
    EXPECT_EQ(Run(kxr::HandleCardInfoRequest, "KXRXMLCardInfo&channel=2"),
              "<?xml version=\"1.0\" encoding=\"iso-8859-1\" ?><CardInfo>"
              "<!-- Tarvik card info message xml structure version 1,0 -->"
              "<cardnumber Value=\"2\">Card &lt;A&gt;</cardnumber>"
              "<SignalFormat Value=\"295715353\" height=\"576\" width=\"720\" rate=\"25\" "
              "scale=\"1\" frametype=\"interlaced\">PAL</SignalFormat>"
              "<Compression Value=\"131072\">ProRes</Compression><BitDepth Value=\"10\" />"
              "<EncodeContainer Value=\"2\">mov</EncodeContainer>"
              "<StorageFree megabytes=\"5000\" />"
              "<VideoOutput Value=\"1048576\">HDMI 2SI</VideoOutput>"
              "<VideoInput Value=\"1048576\">HDMI</VideoInput></CardInfo>");
    for (const auto& call : fake_.Calls())
        EXPECT_EQ(call.args.at(0), 2) << call.ordinal; // every question is about card 2
}

std::string MessageXml(int index, const char* error, const char* hex, const std::string& text) {
    return "<ErrorNumber index=\"" + std::to_string(index) + "\"><Error Value=\"" + error + "\">" +
           error + "</Error><HexError>" + hex +
           "</HexError><Time>09:08:07.06 05/12/2026</Time><Message>" + text +
           "</Message></ErrorNumber>";
}

TEST_F(EngineAnswers, ErrorMsgCountAndMessages) {
    const std::string first = MessageXml(1, "-1", "0xFFFFFFFF", "disk &amp;lt;full&amp;gt;");
    const std::string second = MessageXml(2, "5", "0x00000005", std::string(4095, 'x'));
    const std::pair<const char*, std::string> rows[] = {
        {"KXRXMLErrorMsg?-1", "<ErrorNumber Value=\"2\">2</ErrorNumber>"},
        {"KXRXMLErrorMsg?0", first},
        {"KXRXMLErrorMsg?1", second},
        {"KXRXMLErrorMsg", first},
        {"KXRXMLErrorMsg&All", first + second},
        {"KXRXMLErrorMsg?9", "<ErrorNumber Value=\"1\">1</ErrorNumber>"},
    };
    for (const auto& [path, body] : rows) {
        EXPECT_EQ(Run(kxr::HandleErrorMsgRequest, path),
                  std::string(kEnvelope) + body + "</ErrorMsg>")
            << path;
    }
    // An empty log counts -1 and reads nothing.
    messages.clear();
    fake_.Clear();
    EXPECT_EQ(Run(kxr::HandleErrorMsgRequest, "KXRXMLErrorMsg?-1"),
              std::string(kEnvelope) + "<ErrorNumber Value=\"-1\">-1</ErrorNumber></ErrorMsg>");
    EXPECT_EQ(fake_.Ordinals(), std::vector<unsigned>{kOrdErrorLogCount});
}

TEST_F(EngineAnswers, ErrorLogSaveAsksChannelZeroAndNamesTheFile) {
    EXPECT_EQ(Run(kxr::HandleErrorLogSaveRequest, "KXRXMLErrorLogSave"),
              std::string(kEnvelope) + "</ErrorMsg>");
    ASSERT_EQ(Sent(), "0:15/10000");
    const MediaCmd& r = engine_.sent[0].record;
    EXPECT_EQ(std::vector<int64_t>({r.channel, r.flags, r.position}),
              std::vector<int64_t>({0, 0x2040, 4}));

    engine_.reply = [](int32_t, MediaCmd* r) { std::strcpy(r->text, "C:\\logs\\a&b.csv"); };
    EXPECT_EQ(Run(kxr::HandleErrorLogSaveRequest, "KXRXMLErrorLogSave"),
              std::string(kEnvelope) + "<Filename>C:\\logs\\a&amp;amp;b.csv</Filename></ErrorMsg>");
}

TEST(EncodeEntitiesCut, NeverSplitsAnEntity) {
    const std::string text(600, '<');
    EXPECT_EQ(kxr::EncodeEntitiesCut(text.c_str(), 1025).size(), 1024u);
    EXPECT_EQ(kxr::EncodeEntitiesCut(text.c_str(), 1023),
              kxr::EncodeEntitiesCut(text.c_str(), 1021));
    EXPECT_EQ(kxr::EncodeEntitiesCut(text.c_str(), 1023).size(), 1020u);
    EXPECT_EQ(kxr::EncodeEntitiesCut("a\xE9", 64), "a&eacute;");
}

} // namespace

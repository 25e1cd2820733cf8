// The error-log answers against an engine table that serves a fixed list of
// messages, and against a capturing media-command slot.
#include "media/error_answers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "api/http_request.h"
#include "api/my_http_client.h"
#include "api/xml_answer.h"
#include "capturing_engine.h"
#include "kxr/rvutil.h"
#include "module/engine_binding.h"
#include "tests/support/fake_engine.h"

namespace {

using kxr::CHttpRequest;

constexpr const char* kEnvelope = "<?xml version=\"1.0\" encoding=\"iso-8859-1\" ?>"
                                  "<ErrorMsg><!-- Tarvik error message xml structure version "
                                  "1,0 -->";

// The engine's log, code and text: read hands back the next index, as the
// simulated engine does.
std::vector<std::pair<int32_t, std::string>> messages;

void Record(unsigned ordinal, std::vector<int64_t> args) {
    kxrtest::FakeEngine::Current()->Record(ordinal, std::move(args));
}

class ErrorAnswers : public ::testing::Test {
protected:
    void SetUp() override {
        table_ = fake_.Table();
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
        messages = {{-1, "disk <full>"}, {5, std::string(5000, 'x')}};
    }

    std::string Ask(kxr::AnswerBuilder handler, const std::string& path) {
        CHttpRequest request;
        request.path = path;
        char* body = nullptr;
        int32_t length = 0;
        EXPECT_EQ(handler(&client_, &body, &length, &request), 1);
        std::string text(body, static_cast<size_t>(length));
        EXPECT_EQ(body[length], '\0');
        RVFree(body);
        return text;
    }

    kxrtest::FakeEngine fake_;
    EngineTable table_{};
    kxr::CMyHttpClient client_;
};

std::string MessageXml(int index, const char* error, const char* hex, const std::string& text) {
    return "<ErrorNumber index=\"" + std::to_string(index) + "\"><Error Value=\"" + error + "\">" +
           error + "</Error><HexError>" + hex +
           "</HexError><Time>09:08:07.06 05/12/2026</Time><Message>" + text +
           "</Message></ErrorNumber>";
}

TEST_F(ErrorAnswers, CountAndMessages) {
    const std::string first = MessageXml(1, "-1", "0xFFFFFFFF", "disk &amp;lt;full&amp;gt;");
    const std::string second = MessageXml(2, "5", "0x00000005", std::string(4095, 'x'));
    struct Row {
        const char* path;
        std::string body;
    };
    const Row rows[] = {
        {"KXRXMLErrorMsg?-1", "<ErrorNumber Value=\"2\">2</ErrorNumber>"},
        {"KXRXMLErrorMsg?0", first},
        {"KXRXMLErrorMsg?1", second},
        {"KXRXMLErrorMsg", first},
        {"KXRXMLErrorMsg&All", first + second},
        {"KXRXMLErrorMsg?9", "<ErrorNumber Value=\"1\">1</ErrorNumber>"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Ask(kxr::HandleErrorMsgRequest, row.path),
                  std::string(kEnvelope) + row.body + "</ErrorMsg>")
            << row.path;
    }
    // An empty log counts -1 and reads nothing.
    messages.clear();
    fake_.Clear();
    EXPECT_EQ(Ask(kxr::HandleErrorMsgRequest, "KXRXMLErrorMsg?-1"),
              std::string(kEnvelope) + "<ErrorNumber Value=\"-1\">-1</ErrorNumber></ErrorMsg>");
    EXPECT_EQ(fake_.Ordinals(), std::vector<unsigned>{kOrdErrorLogCount});
}

TEST_F(ErrorAnswers, LogSaveAsksChannelZeroAndNamesTheFile) {
    kxrtest::CapturingEngine capture;
    EXPECT_EQ(Ask(kxr::HandleErrorLogSaveRequest, "KXRXMLErrorLogSave"),
              std::string(kEnvelope) + "</ErrorMsg>");
    ASSERT_EQ(capture.sent.size(), 1u);
    const MediaCmd& r = capture.sent[0].record;
    EXPECT_EQ(std::vector<int64_t>({capture.sent[0].channelArgument, r.channel, r.cmd, r.flags,
                                    r.cmdAlt, r.position}),
              std::vector<int64_t>({0, 0, kCmdSetValue, 0x2040, kValueErrorLogSave, 4}));

    capture.reply = [](int32_t, MediaCmd* r) { std::strcpy(r->text, "C:\\logs\\a&b.csv"); };
    EXPECT_EQ(Ask(kxr::HandleErrorLogSaveRequest, "KXRXMLErrorLogSave"),
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

// The CardInfo answer and its name tables.
#include "media/card_answers.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "api/http_request.h"
#include "api/my_http_client.h"
#include "kxr/rvutil.h"
#include "module/engine_binding.h"
#include "tests/support/fake_engine.h"

namespace {

std::map<uint32_t, uint32_t> settings;

class CardInfo : public ::testing::Test {
protected:
    void SetUp() override {
        table_ = fake_.Table();
        table_.getSetting = [](int32_t c, uint32_t code, uint32_t a, uint32_t b) {
            kxrtest::FakeEngine::Current()->Record(kOrdGetSetting, {c, code, a, b});
            return settings[code];
        };
        kxr::SetEngineTable(&table_);
        settings = {{900, 0x11A04219}, {731, 0x20000}, {722, 10}, {727, 0x2}, {744, 1}};
        fake_.SetText(kOrdGetChannelName, "Card <A>");
        fake_.SetResult(kOrdGetStorageFree, 5000);
        fake_.SetResult(kOrdGetVideoOutput, 0x100000);
        fake_.SetResult(kOrdGetVideoInput, 0x100000);
    }

    std::string Ask(const std::string& path) {
        kxr::CHttpRequest request;
        request.path = path;
        char* body = nullptr;
        int32_t length = 0;
        EXPECT_EQ(kxr::HandleCardInfoRequest(&client_, &body, &length, &request), 1);
        std::string text(body, static_cast<size_t>(length));
        RVFree(body);
        return text;
    }

    kxrtest::FakeEngine fake_;
    EngineTable table_{};
    kxr::CMyHttpClient client_;
};

TEST_F(CardInfo, DescribesTheCardInOrder) {
    EXPECT_EQ(Ask("KXRXMLCardInfo&channel=2"),
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
    const std::vector<unsigned> order = {
        kOrdGetChannelName, kOrdGetSetting, kOrdGetSetting,     kOrdGetSetting, kOrdGetSetting,
        kOrdGetStorageFree, kOrdGetSetting, kOrdGetVideoOutput, kOrdGetSetting, kOrdGetVideoInput};
    EXPECT_EQ(fake_.Ordinals(), order);
    std::vector<int64_t> asked;
    for (const auto& call : fake_.Calls()) {
        EXPECT_EQ(call.args.at(0), 2); // every question is about card 2
        if (call.ordinal == kOrdGetSetting)
            asked.push_back(call.args.at(1));
    }
    EXPECT_EQ(asked, (std::vector<int64_t>{900, 731, 722, 727, 744, 744}));
}

TEST_F(CardInfo, UnknownValuesAndCardZero) {
    settings = {{900, 0}, {731, 0x3}, {727, 0x20000000}};
    fake_.SetResult(kOrdGetVideoOutput, 0x8);
    fake_.SetResult(kOrdGetVideoInput, 0);
    const std::string text = Ask("KXRXMLCardInfo?channel=2");
    // Card 0 for a "?" query; the default format row has its sizes swapped.
    EXPECT_NE(text.find("<cardnumber Value=\"0\">"), std::string::npos);
    EXPECT_NE(text.find("<SignalFormat Value=\"0\" height=\"1920\" width=\"1080\" rate=\"30000\" "
                        "scale=\"1001\" frametype=\"interlaced\">HD 1080i 29.97</SignalFormat>"
                        "<Compression Value=\"3\" />"),
              std::string::npos);
    EXPECT_NE(text.find("<EncodeContainer Value=\"536870912\" />"), std::string::npos);
    EXPECT_NE(text.find("<VideoOutput Value=\"8\">Unknown</VideoOutput>"
                        "<VideoInput Value=\"0\">None</VideoInput>"),
              std::string::npos);
}

TEST(CardNames, RowsThatAreEasyToGetWrong) {
    EXPECT_STREQ(kxr::FindSignalFormat(0x2500C018).frameType, "progessive");
    EXPECT_EQ(kxr::FindSignalFormat(0x46B10005).height, 3112);
    EXPECT_STREQ(kxr::CompressionName(0x80000000u), "Alternate");
    EXPECT_EQ(kxr::CompressionName(0x20001), nullptr); // one bit values only
    EXPECT_STREQ(kxr::ConnectorName(0x800, 1, false), "12G/6G Dual Rate 2SI");
    EXPECT_STREQ(kxr::ConnectorName(0x800, 2, true), "12G/6G Dual Rate SQD");
}

} // namespace

#include "api/xml_answer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "kxr/rvutil.h"

namespace kxr {
namespace {

TEST(XmlAnswer, PrintsTheEnvelopeCompactly) {
    XmlAnswer answer("ClipInfo", "ClipInfo");
    answer.AddValue("Channel", 1);
    TiXmlElement* clip = answer.AddElement("Clip");
    answer.AddValue("Name", "a&b", clip);
    answer.AddText("Note", "plain", clip);
    answer.AddElement("Empty");
    EXPECT_EQ(answer.Print(),
              "<?xml version=\"1.0\" encoding=\"iso-8859-1\" ?>"
              "<ClipInfo><!-- Tarvik ClipInfo xml structure version 1,0 -->"
              "<Channel Value=\"1\">1</Channel>"
              "<Clip><Name Value=\"a&amp;b\">a&amp;b</Name><Note>plain</Note></Clip>"
              "<Empty /></ClipInfo>");
}

TEST(XmlAnswer, FinishHandsOverAZeroTerminatedBody) {
    XmlAnswer answer("ErrorMsg", "error message");
    char* body = nullptr;
    int32_t length = -1;
    ASSERT_EQ(answer.Finish(&body, &length), 1);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(static_cast<size_t>(length), std::strlen(body));
    EXPECT_EQ(std::string(body, length), answer.Print());
    RVFree(body);
}

TEST(XmlAnswer, EmptyTextMakesNoBody) {
    char* body = reinterpret_cast<char*>(1);
    int32_t length = 7;
    EXPECT_EQ(MakeAnswerBody("", &body, &length), 1);
    EXPECT_EQ(body, nullptr);
    EXPECT_EQ(length, 0);
}

} // namespace
} // namespace kxr

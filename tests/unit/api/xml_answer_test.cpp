#include "api/xml_answer.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace kxr

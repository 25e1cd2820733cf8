// The clip, picon, error-log, card and status answers through real HTTP,
// against the host's simulated engine with two movies in its record directory.
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "host_process.h"

namespace {

namespace fs = std::filesystem;

std::string GetBody(uint16_t port, const std::string& target) {
    const std::string raw = kxrit::RawExchange(
        port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    const size_t split = raw.find("\r\n\r\n");
    return split == std::string::npos ? std::string() : raw.substr(split + 4);
}

// An XML answer, parsed; a malformed one or another encoding fails the test.
class Xml {
public:
    explicit Xml(const std::string& body) : text_(body) {
        document_.Parse(text_.c_str());
        EXPECT_FALSE(document_.Error()) << text_;
        const TiXmlNode* first = document_.FirstChild();
        const TiXmlDeclaration* declaration = first != nullptr ? first->ToDeclaration() : nullptr;
        EXPECT_TRUE(declaration != nullptr && std::string(declaration->Encoding()) == "iso-8859-1")
            << text_;
    }
    std::string Root() const {
        const TiXmlElement* root = document_.RootElement();
        return root != nullptr ? root->Value() : "<none>";
    }
    // The element's attribute (name given) or its text.
    std::string Get(const char* element, const char* attribute = nullptr) const {
        const TiXmlElement* root = document_.RootElement();
        const TiXmlElement* e = root != nullptr ? root->FirstChildElement(element) : nullptr;
        if (e == nullptr) {
            return "<none>";
        }
        const char* v = attribute != nullptr ? e->Attribute(attribute) : e->GetText();
        return v != nullptr ? v : "";
    }
    const TiXmlElement* RootElement() const { return document_.RootElement(); }
    const std::string& Text() const { return text_; }

private:
    std::string text_;
    TiXmlDocument document_;
};

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class MediaAnswersHost : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) {
            GTEST_SKIP() << "the ffmpeg tool makes the test clips";
        }
        const fs::path media = host_.Dir() / "media";
        fs::create_directories(media);
        for (const char* name : {"alpha", "beta"}) {
            const std::string command =
                "ffmpeg -y -v error -f lavfi -i testsrc=size=160x120:rate=25 -t 1 -c:v mjpeg " +
                (media / (std::string(name) + ".mov")).string() + " >/dev/null 2>&1";
            ASSERT_EQ(std::system(command.c_str()), 0);
        }
        ASSERT_TRUE(host_.Start()) << host_.Failure();
    }

    std::string Body(const std::string& target) { return GetBody(host_.Port(), target); }

    kxrit::HostProcess host_;
};

TEST_F(MediaAnswersHost, NextClipWalksTheWholeClipList) {
    Xml first(Body("/KXRXMLNextClip?channel=0"));
    EXPECT_EQ(first.Root(), "ClipInfo");
    EXPECT_EQ(first.Get("ClipID"), "alpha");
    Xml second(Body("/KXRXMLNextClip?alpha&channel=0"));
    EXPECT_EQ(second.Get("ClipID"), "beta");
    EXPECT_TRUE(EndsWith(second.Get("FileName"), "beta.mov")) << second.Text();
    Xml past(Body("/KXRXMLNextClip?beta&channel=0"));
    EXPECT_EQ(past.Root(), "MediaCmd");
    EXPECT_EQ(past.Get("CmdCode", "Value"), "17") << past.Text();
}

TEST_F(MediaAnswersHost, ClipInfoAndTimelineEntry) {
    Xml info(Body("/KXRXML/ClipInfo?beta&channel=0"));
    EXPECT_EQ(info.Get("Channel", "Value"), "0");
    EXPECT_EQ(info.Get("ClipID"), "beta");
    EXPECT_TRUE(EndsWith(info.Get("FileName"), "beta.mov")) << info.Text();
    // Second on the timeline after a one-second clip, in pal.
    EXPECT_EQ(info.Get("Position", "Value"), "25") << info.Text();
    EXPECT_EQ(info.Get("Position"), "00:00:01:00");
    EXPECT_EQ(info.Get("End", "TcType"), "pal");
    EXPECT_EQ(info.Get("End", "Value"), "25");
    EXPECT_TRUE(EndsWith(info.Get("Picon"), ".picon.jpg")) << info.Text();

    Xml entry(Body("/KXRXMLEDLState?position=30&channel=0"));
    EXPECT_EQ(entry.Root(), "EDLLine");
    EXPECT_TRUE(EndsWith(entry.Get("FileName"), "beta.mov")) << entry.Text();
    Xml record(Body("/KXRXMLEDLInfo?position=30&channel=0"));
    EXPECT_EQ(record.Root(), "MediaCmd");
}

TEST_F(MediaAnswersHost, GetPiconSendsAJpeg) {
    const std::string jpeg = Body("/KXRXMLGetPicon?alpha&channel=0");
    ASSERT_GT(jpeg.size(), 100u);
    EXPECT_EQ(static_cast<unsigned char>(jpeg[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(jpeg[1]), 0xD8);
    EXPECT_EQ(static_cast<unsigned char>(jpeg[jpeg.size() - 2]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(jpeg[jpeg.size() - 1]), 0xD9);
    // The frame header names a picture of a real size.
    size_t at = 2;
    int width = 0;
    int height = 0;
    while (at + 9 < jpeg.size() && static_cast<unsigned char>(jpeg[at]) == 0xFF) {
        const unsigned marker = static_cast<unsigned char>(jpeg[at + 1]);
        const size_t length = (static_cast<unsigned char>(jpeg[at + 2]) << 8) |
                              static_cast<unsigned char>(jpeg[at + 3]);
        if (marker >= 0xC0 && marker <= 0xC2) {
            height = (static_cast<unsigned char>(jpeg[at + 5]) << 8) |
                     static_cast<unsigned char>(jpeg[at + 6]);
            width = (static_cast<unsigned char>(jpeg[at + 7]) << 8) |
                    static_cast<unsigned char>(jpeg[at + 8]);
            break;
        }
        at += 2 + length;
    }
    EXPECT_GT(width, 0);
    EXPECT_GT(height, 0);
    EXPECT_LE(width, 160);

    // No picture: the request ends unanswered and is served as a missing file.
    const std::string raw = kxrit::RawExchange(
        host_.Port(), "GET /KXRXMLGetPicon?nosuch&channel=0 HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(raw.rfind("HTTP/1.1 404", 0), 0u) << raw;
}

TEST_F(MediaAnswersHost, ErrorMsgShowsWhatAFailedCommandCaused) {
    const int before =
        std::atoi(Xml(Body("/KXRXMLErrorMsg?-1")).Get("ErrorNumber", "Value").c_str());
    Xml unknown(Body("/KXRXML/MediaCmd?Play&channel=0&clipid=nosuch"));
    Xml count(Body("/KXRXMLErrorMsg?-1"));
    const int after = std::atoi(count.Get("ErrorNumber", "Value").c_str());
    ASSERT_GT(after, before < 0 ? 0 : before) << count.Text();

    Xml last(Body("/KXRXMLErrorMsg?" + std::to_string(after - 1)));
    const TiXmlElement* number = last.RootElement()->FirstChildElement("ErrorNumber");
    ASSERT_NE(number, nullptr) << last.Text();
    ASSERT_NE(number->Attribute("index"), nullptr);
    const TiXmlElement* message = number->FirstChildElement("Message");
    ASSERT_NE(message, nullptr);
    EXPECT_NE(std::string(message->GetText()).find("nosuch"), std::string::npos) << last.Text();
    EXPECT_EQ(std::string(number->FirstChildElement("HexError")->GetText()), "0x00000001");

    Xml all(Body("/KXRXMLErrorMsg&All"));
    int messages = 0;
    for (const TiXmlElement* e = all.RootElement()->FirstChildElement("ErrorNumber"); e != nullptr;
         e = e->NextSiblingElement("ErrorNumber")) {
        ++messages;
    }
    EXPECT_EQ(messages, after);

    Xml saved(Body("/KXRXMLErrorLogSave"));
    EXPECT_EQ(saved.Root(), "ErrorMsg");
    EXPECT_NE(saved.Get("Filename"), "<none>") << saved.Text();
}

TEST_F(MediaAnswersHost, CardInfoStatusAndEnvelopes) {
    Xml card(Body("/KXRXMLCardInfo&channel=1"));
    EXPECT_EQ(card.Get("cardnumber", "Value"), "1");
    EXPECT_EQ(card.Get("cardnumber"), "Channel 2");
    EXPECT_EQ(card.Get("SignalFormat"), "PAL") << card.Text();
    EXPECT_EQ(card.Get("SignalFormat", "height"), "576");
    EXPECT_EQ(card.Get("Compression"), "ProRes");
    EXPECT_EQ(card.Get("VideoOutput"), "Serial digital");

    Xml status(Body("/KXRXML/Status?channel=0&channel=1"));
    EXPECT_EQ(status.Root(), "MediaCmd");
    EXPECT_EQ(status.Get("Channel", "Value"), "1");
    EXPECT_EQ(status.Get("CmdCode", "Value"), "12");
    EXPECT_EQ(status.Get("Flags", "Value"), "0x00012570");

    EXPECT_EQ(Xml(Body("/KXRXMLMetaData&filename=a.mov")).Root(), "MetaData");
    EXPECT_EQ(Xml(Body("/KXRXMLWatchFolder")).Root(), "WatchFolder");
}

} // namespace

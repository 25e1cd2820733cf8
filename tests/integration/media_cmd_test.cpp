// A channel driven through KXRXML/MediaCmd alone, against the real host and
// the simulated engine with its clock standing still.
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "host_process.h"

namespace {

namespace fs = std::filesystem;

struct Reply {
    std::string head;
    std::string body;
};

Reply Get(uint16_t port, const std::string& target) {
    const std::string raw = kxrit::RawExchange(
        port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    Reply reply;
    const size_t split = raw.find("\r\n\r\n");
    if (split != std::string::npos) {
        reply.head = raw.substr(0, split);
        reply.body = raw.substr(split + 4);
    }
    return reply;
}

// The answer parsed; a malformed one fails the test.
class XmlReply {
public:
    explicit XmlReply(const std::string& body) : text_(body) {
        document_.Parse(text_.c_str());
        EXPECT_FALSE(document_.Error()) << text_;
    }
    std::string Encoding() const {
        const TiXmlNode* first = document_.FirstChild();
        const TiXmlDeclaration* d = first != nullptr ? first->ToDeclaration() : nullptr;
        return d != nullptr ? d->Encoding() : "<missing>";
    }
    std::string Value(const char* name) const {
        const TiXmlElement* root = document_.RootElement();
        const TiXmlElement* e = root != nullptr ? root->FirstChildElement(name) : nullptr;
        const char* v = e != nullptr ? e->Attribute("Value") : nullptr;
        return v != nullptr ? v : "<missing>";
    }
    const std::string& Text() const { return text_; }

private:
    std::string text_;
    TiXmlDocument document_;
};

class MediaCmdHost : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) {
            GTEST_SKIP() << "the ffmpeg tool makes the test clip";
        }
        const fs::path media = host_.Dir() / "media";
        fs::create_directories(media);
        const std::string command = "ffmpeg -y -v error -f lavfi -i testsrc=size=160x120:rate=25 "
                                    "-t 2 -c:v mjpeg " +
                                    (media / "ramp.mov").string() + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0);
        ASSERT_TRUE(host_.Start()) << host_.Failure();
    }

    kxrit::HostProcess host_;
};

TEST_F(MediaCmdHost, PlaysAClipAndReadsItBack) {
    XmlReply play(Get(host_.Port(), "/KXRXML/MediaCmd?Play&channel=0&clipid=ramp").body);
    EXPECT_EQ(play.Encoding(), "iso-8859-1");
    EXPECT_EQ(play.Value("CmdCode"), "2") << play.Text();
    EXPECT_EQ(play.Value("Channel"), "0");

    XmlReply state(Get(host_.Port(), "/KXRXML/MediaCmd?GetState&channel=0").body);
    EXPECT_EQ(state.Encoding(), "iso-8859-1");
    EXPECT_EQ(state.Value("CmdCode"), "12");
    EXPECT_EQ(state.Value("CmdAlt"), "2") << state.Text(); // playing
    EXPECT_EQ(state.Value("ClipName"), "ramp") << state.Text();

    XmlReply stop(Get(host_.Port(), "/KXRXML/MediaCmd?Stop&channel=0").body);
    EXPECT_EQ(stop.Value("CmdCode"), "0");
    XmlReply stopped(Get(host_.Port(), "/KXRXML/MediaCmd?GetState&channel=0").body);
    EXPECT_EQ(stopped.Value("CmdAlt"), "0") << stopped.Text();
}

TEST_F(MediaCmdHost, RefusedCommandComesBackAsError) {
    XmlReply refused(Get(host_.Port(), "/KXRXML/MediaCmd?Nonsense&channel=0").body);
    EXPECT_EQ(refused.Encoding(), "iso-8859-1");
    EXPECT_EQ(refused.Value("CmdCode"), "17");
}

TEST_F(MediaCmdHost, PreviewAnswersAJpeg) {
    Get(host_.Port(), "/KXRXML/MediaCmd?Play&channel=0&clipid=ramp");
    const Reply preview = Get(host_.Port(), "/KXRXML/MediaCmd?GetState&channel=0&mpreview");
    ASSERT_GE(preview.body.size(), 4u) << preview.head;
    EXPECT_EQ(static_cast<unsigned char>(preview.body[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(preview.body[1]), 0xD8);
    EXPECT_EQ(static_cast<unsigned char>(preview.body[preview.body.size() - 2]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(preview.body[preview.body.size() - 1]), 0xD9);
}

} // namespace

// The media command, clip, picon, file, error-log, card and status answers
// through real HTTP, against the host's simulated engine with two movies in
// its record directory and its clock standing still. Under Wine as on Linux:
// the engine's pictures and the file descriptions come from FFmpeg on both.
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <tuple>

#include "host_process.h"
#include "tests/support/media_tool.h"

namespace {

namespace fs = std::filesystem;

// An XML answer, parsed; a malformed one or another encoding fails the test.
struct Xml {
    explicit Xml(const std::string& body) : text(body) {
        document.Parse(text.c_str());
        EXPECT_FALSE(document.Error()) << text;
        EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"iso-8859-1\"", 0), 0u) << text;
    }
    std::string Root() const {
        const TiXmlElement* root = document.RootElement();
        return root != nullptr ? root->Value() : "<none>";
    }
    // The element's attribute (name given) or its text.
    std::string Get(const char* element, const char* attribute = nullptr) const {
        const TiXmlElement* root = document.RootElement();
        const TiXmlElement* e = root != nullptr ? root->FirstChildElement(element) : nullptr;
        if (e == nullptr)
            return "<none>";
        const char* v = attribute != nullptr ? e->Attribute(attribute) : e->GetText();
        return v != nullptr ? v : "";
    }

    std::string text;
    TiXmlDocument document;
};

class MediaAnswersHost : public ::testing::Test {
protected:
    void SetUp() override {
        // One second each: a wide MPEG-4 movie with sound and a start
        // timecode, and a small Motion JPEG one.
        ASSERT_EQ(
            kxrtest::MakeMedia({"-f", "lavfi", "-i", "testsrc=size=320x180:rate=25", "-f", "lavfi",
                                "-i", "sine=sample_rate=48000", "-t", "1", "-ac", "2", "-c:v",
                                "mpeg4", "-c:a", "pcm_s16le", "-timecode", "01:00:00:00"},
                               host_.Dir() / "media" / "alpha.mov"),
            "");
        ASSERT_EQ(kxrtest::MakeMedia({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25", "-t",
                                      "1", "-c:v", "mjpeg"},
                                     host_.Dir() / "media" / "beta.mov"),
                  "");
        // The record directory is also the file root \Clips.
        ASSERT_TRUE(host_.Start("[KXR.NetServer.FileDirs]\nClips = '" +
                                (host_.Dir() / "media").string() + "'\n"))
            << host_.Failure();
    }
    std::string Body(const std::string& target) { return kxrtest::Body(host_.Get(target)); }

    kxrit::HostProcess host_;
};

TEST_F(MediaAnswersHost, MediaCmdPlaysAClipAndReadsItBack) {
    Xml play(Body("/KXRXML/MediaCmd?Play&channel=0&clipid=alpha"));
    EXPECT_EQ(play.Get("CmdCode", "Value"), "2") << play.text;
    Xml state(Body("/KXRXML/MediaCmd?GetState&channel=0"));
    EXPECT_EQ(state.Get("CmdCode", "Value"), "12");
    EXPECT_EQ(state.Get("CmdAlt", "Value"), "2") << state.text; // playing
    EXPECT_EQ(state.Get("ClipName", "Value"), "alpha") << state.text;

    Xml stop(Body("/KXRXML/MediaCmd?Stop&channel=0"));
    EXPECT_EQ(stop.Get("CmdCode", "Value"), "0");
    EXPECT_EQ(Xml(Body("/KXRXML/MediaCmd?GetState&channel=0")).Get("CmdAlt", "Value"), "0");
    // A refused command comes back as an error.
    EXPECT_EQ(Xml(Body("/KXRXML/MediaCmd?Nonsense&channel=0")).Get("CmdCode", "Value"), "17");
}

TEST_F(MediaAnswersHost, ClipListInfoTimelineAndPicon) {
    EXPECT_EQ(Xml(Body("/KXRXMLNextClip?channel=0")).Get("ClipID"), "alpha");
    Xml second(Body("/KXRXMLNextClip?alpha&channel=0"));
    EXPECT_EQ(second.Root(), "ClipInfo");
    EXPECT_EQ(second.Get("ClipID"), "beta");
    Xml past(Body("/KXRXMLNextClip?beta&channel=0"));
    EXPECT_EQ(past.Get("CmdCode", "Value"), "17") << past.text;

    // Second on the timeline after a one-second clip, in pal.
    Xml info(Body("/KXRXML/ClipInfo?beta&channel=0"));
    EXPECT_EQ(fs::path(info.Get("FileName")).filename(), "beta.mov") << info.text;
    EXPECT_EQ(info.Get("Position"), "00:00:01:00") << info.text;
    EXPECT_EQ(info.Get("End", "TcType"), "pal");
    EXPECT_EQ(info.Get("End", "Value"), "25");
    Xml entry(Body("/KXRXMLEDLState?position=30&channel=0"));
    EXPECT_EQ(entry.Root(), "EDLLine");
    EXPECT_EQ(fs::path(entry.Get("FileName")).filename(), "beta.mov") << entry.text;

    // No picture: the request ends unanswered and is served as a missing file.
    const std::string raw = host_.Get("/KXRXMLGetPicon?nosuch&channel=0");
    EXPECT_EQ(raw.rfind("HTTP/1.1 404", 0), 0u) << raw;
}

// The pictures are of the clip: a thumbnail of its shape at most 160 wide,
// a preview of the frame under the head at the frame's size.
TEST_F(MediaAnswersHost, PiconAndPreviewArePicturesOfTheClip) {
    const std::tuple<const char*, int, int> picons[] = {{"alpha", 160, 90}, {"beta", 160, 120}};
    for (const auto& [clip, width, height] : picons) {
        int w = 0, h = 0;
        ASSERT_TRUE(
            kxrtest::JpegSize(Body(std::string("/KXRXMLGetPicon?") + clip + "&channel=0"), &w, &h))
            << clip;
        EXPECT_EQ(std::make_pair(w, h), std::make_pair(width, height)) << clip;
    }
    EXPECT_TRUE(fs::exists(host_.Dir() / "media" / "alpha.picon.jpg"));

    Body("/KXRXML/MediaCmd?Play&channel=0&clipid=alpha");
    const std::string preview = Body("/KXRXML/MediaCmd?GetState&channel=0&mpreview");
    int w = 0, h = 0;
    ASSERT_TRUE(kxrtest::JpegSize(preview, &w, &h));
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(320, 180));
    EXPECT_EQ(preview.compare(preview.size() - 2, 2, "\xFF\xD9"), 0) << "a whole JPEG";
}

// FileInfo with &all opens the movie: its picture, rate and length, its
// sound, its three streams and its start timecode; without it, nothing of that.
TEST_F(MediaAnswersHost, FileInfoDescribesAMovie) {
    Xml info(Body("/KXRXML/FileInfo?%5CClips%5Calpha.mov&all"));
    EXPECT_EQ(info.Root(), "FileDir");
    EXPECT_EQ(info.Get("ShortFileTypeDesc"), "QuickTime movie") << info.text;
    std::string fields;
    for (const char* field :
         {"Width", "Height", "Compression", "Rate", "Scale", "Length", "AudioChannels",
          "AudioFrequency", "AudioBits", "TotalStreams", "TimeCode", "TimeCodeType"})
        fields += std::string(field) + "=" + info.Get(field) + " ";
    EXPECT_EQ(fields, "Width=320 Height=180 Compression=mp4v Rate=25 Scale=1 Length=25 "
                      "AudioChannels=2 AudioFrequency=48000 AudioBits=16 TotalStreams=3 "
                      "TimeCode=01:00:00:00 TimeCodeType=pal ")
        << info.text;
    EXPECT_EQ(info.Get("TimeCode", "TcType"), "pal");
    // Without &all the movie is described as a file only.
    EXPECT_EQ(Xml(Body("/KXRXML/FileInfo?%5CClips%5Calpha.mov")).Get("TimeCode"), "<none>");
}

TEST_F(MediaAnswersHost, ErrorMsgShowsWhatAFailedCommandCaused) {
    Xml unknown(Body("/KXRXML/MediaCmd?Play&channel=0&clipid=nosuch"));
    Xml count(Body("/KXRXMLErrorMsg?-1"));
    const int messages = std::atoi(count.Get("ErrorNumber", "Value").c_str());
    ASSERT_GT(messages, 0) << count.text;

    // The newest message names the clip; the list has them all.
    Xml last(Body("/KXRXMLErrorMsg?" + std::to_string(messages - 1)));
    EXPECT_TRUE(std::regex_search(
        last.text,
        std::regex("<HexError>0x00000001</HexError>.*<Message>[^<]*nosuch[^<]*</Message>")))
        << last.text;
    Xml all(Body("/KXRXMLErrorMsg&All"));
    int listed = 0;
    for (size_t at = all.text.find("<ErrorNumber "); at != std::string::npos;
         at = all.text.find("<ErrorNumber ", at + 1))
        ++listed;
    EXPECT_EQ(listed, messages);
    EXPECT_NE(Xml(Body("/KXRXMLErrorLogSave")).Get("Filename"), "<none>");
}

TEST_F(MediaAnswersHost, CardInfoAndStatus) {
    Xml card(Body("/KXRXMLCardInfo&channel=1"));
    EXPECT_EQ(card.Get("cardnumber"), "Channel 2");
    EXPECT_EQ(card.Get("SignalFormat"), "PAL") << card.text;
    EXPECT_EQ(card.Get("Compression"), "ProRes");

    Xml status(Body("/KXRXML/Status?channel=0&channel=1"));
    EXPECT_EQ(status.Get("Channel", "Value"), "1");
    EXPECT_EQ(status.Get("CmdCode", "Value"), "12");
    EXPECT_EQ(status.Get("Flags", "Value"), "0x00012570");
}

} // namespace

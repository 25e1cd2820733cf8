// FIFOs in a browsed file root and in the document root, with nobody ever
// writing to them: a blocking open of one would stall the whole server. Every
// answer comes from the real kxr-host over HTTP and must come within a second.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tinyxml.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "host_process.h"
#include "tests/support/media_tool.h"

namespace {

namespace fs = std::filesystem;
constexpr std::chrono::milliseconds kAnswerLimit{1000};

// GET with a client timeout, so that a stalled server leaves the answer
// empty after a quiet second instead of hanging the test. The answer must
// come within that second with a status that begins with `status`; its body
// is returned.
std::string PromptGet(uint16_t port, const std::string& target, const std::string& status) {
    const auto start = std::chrono::steady_clock::now();
    const auto [head, body] = kxrit::StatusAndBody(kxrtest::Exchange(
        port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n",
        static_cast<uint32_t>(kAnswerLimit.count())));
    EXPECT_LT(std::chrono::steady_clock::now() - start, kAnswerLimit) << target;
    EXPECT_EQ(head.rfind(status, 0), 0u) << target << ": " << head;
    return body;
}

// The text of a child of a FileDir answer's root; empty without one.
std::string Text(const std::string& body, const char* name) {
    TiXmlDocument doc;
    doc.Parse(body.c_str());
    const TiXmlElement* e =
        doc.RootElement() ? doc.RootElement()->FirstChildElement(name) : nullptr;
    return e != nullptr && e->GetText() != nullptr ? e->GetText() : "";
}

class FifoHost : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path www = host_.Root();
        const fs::path files = host_.Dir() / "files";
        kxrtest::WriteFile(www / "index.html", "home");
        kxrtest::WriteFile(www / "clips" / "note.txt", "note");
        kxrtest::WriteFile(www / "shelf" / "a.txt", "a");
        fs::create_directories(files / "sub");
        // A tenth of a second of 16-bit stereo sound at 48 kHz, which the media
        // library describes itself.
        ASSERT_EQ(kxrtest::MakeMedia({"-f", "lavfi", "-i", "sine=sample_rate=48000:duration=0.1",
                                      "-ac", "2", "-c:a", "pcm_s16le"},
                                     files / "tone.wav"),
                  "");
        // Named as media, so that every probe by name would reach for them.
        for (const fs::path& fifo : {www / "live.mov", www / "clips" / "feed.mov",
                                     www / "shelf" / "index.html", files / "feed.mov"})
            ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0) << fifo;
        ASSERT_TRUE(host_.Start("[KXR.NetServer.FileDirs]\nMedia = '" + files.string() + "'\n"))
            << host_.Failure();
    }

    // The locator of one NextDirEntry step; "" at the end of the list.
    std::string Step(const std::string& argument) {
        return Text(PromptGet(host_.Port(), "/KXRXML/NextDirEntry?" + argument, "HTTP/1.1 200 OK"),
                    "Locator");
    }

    // The whole root, entry by entry, as a browsing client walks it.
    std::vector<std::string> WalkMedia() {
        std::vector<std::string> walked;
        for (std::string next = Step("%5CMedia"); !next.empty() && walked.size() < 10;
             next = Step("%5CMedia&" + next))
            walked.push_back(next);
        return walked;
    }

    kxrit::HostProcess host_;
};

TEST_F(FifoHost, BrowsingAndFileInfoNeverWaitForAFifo) {
    // Twice: the second scan reuses the probes of the first.
    for (int pass = 0; pass < 2; ++pass)
        EXPECT_EQ(WalkMedia(), (std::vector<std::string>{"\\Media\\..", "\\Media\\feed.mov",
                                                         "\\Media\\sub", "\\Media\\tone.wav"}));

    // Described like any other file, without a media description.
    const std::string fifo =
        PromptGet(host_.Port(), "/KXRXML/FileInfo?%5CMedia%5Cfeed.mov&all", "HTTP/1.1 200 OK");
    EXPECT_EQ(Text(fifo, "Locator") + "|" + Text(fifo, "FileName") + "|" + Text(fifo, "FileType") +
                  "|" + Text(fifo, "Size"),
              "\\Media\\feed.mov|feed|Unknown|0");
    EXPECT_TRUE(fifo.find("<UserBits") == std::string::npos &&
                fifo.find("<AudioChannels") == std::string::npos)
        << fifo;

    // The regular file beside it still gets its full description.
    const std::string wave =
        PromptGet(host_.Port(), "/KXRXML/FileInfo?%5CMedia%5Ctone.wav&all", "HTTP/1.1 200 OK");
    EXPECT_EQ(Text(wave, "AudioChannels") + "|" + Text(wave, "AudioFrequency"), "2|48000") << wave;
}

TEST_F(FifoHost, StaticFilesAndListingsAnswerBesideABrowse) {
    auto browse = std::async(std::launch::async, [this] {
        std::vector<std::string> walked;
        for (int pass = 0; pass < 3; ++pass)
            walked = WalkMedia();
        return walked;
    });

    // A FIFO is no file to send, below the document root or a file root.
    for (const char* target : {"/live.mov", "/clips/feed.mov", "/Media/feed.mov"})
        PromptGet(host_.Port(), target, "HTTP/1.1 403 Forbidden");
    EXPECT_EQ(PromptGet(host_.Port(), "/index.html", "HTTP/1.1 200 OK"), "home");

    // Listings name the FIFO; a FIFO as the default document is passed over.
    const struct {
        const char* target;
        std::vector<const char*> names;
    } listings[] = {{"/clips/", {"feed.mov", "note.txt"}}, {"/shelf/", {"a.txt", "index.html"}}};
    for (const auto& listing : listings) {
        const std::string page = PromptGet(host_.Port(), listing.target, "HTTP/1.1 2");
        for (const char* name : listing.names)
            EXPECT_NE(page.find(name), std::string::npos) << listing.target << " lists " << name;
    }

    ASSERT_EQ(browse.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_EQ(browse.get().size(), 4u);
}

} // namespace

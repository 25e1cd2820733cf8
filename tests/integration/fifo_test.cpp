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
using std::chrono::milliseconds;

constexpr milliseconds kAnswerLimit{1000};

struct Timed {
    std::string target;
    std::string status;
    std::string body;
    milliseconds took{0};
};

// GET with a client timeout: a stalled server leaves the answer empty after
// a quiet second instead of hanging the test.
Timed TimedGet(uint16_t port, const std::string& target) {
    const auto start = std::chrono::steady_clock::now();
    const std::string answer = kxrtest::Exchange(
        port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n",
        static_cast<uint32_t>(kAnswerLimit.count()));
    Timed timed;
    timed.target = target;
    timed.took = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
    std::tie(timed.status, timed.body) = kxrit::StatusAndBody(answer);
    return timed;
}

void ExpectPrompt(const Timed& t, const std::string& status) {
    EXPECT_LT(t.took.count(), kAnswerLimit.count()) << t.target;
    EXPECT_EQ(t.status, status) << t.target;
}

// One FileDir answer, parsed; texts of its elements by name.
class XmlAnswer {
public:
    explicit XmlAnswer(const std::string& body) { doc_.Parse(body.c_str()); }
    bool Valid() const { return !doc_.Error() && doc_.RootElement() != nullptr; }
    bool Has(const char* name) const { return Element(name) != nullptr; }
    std::string Text(const char* name) const {
        const TiXmlElement* e = Element(name);
        return e != nullptr && e->GetText() != nullptr ? e->GetText() : "";
    }

private:
    const TiXmlElement* Element(const char* name) const {
        return Valid() ? doc_.RootElement()->FirstChildElement(name) : nullptr;
    }
    TiXmlDocument doc_;
};

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
        const Timed t = TimedGet(host_.Port(), "/KXRXML/NextDirEntry?" + argument);
        ExpectPrompt(t, "HTTP/1.1 200 OK");
        return XmlAnswer(t.body).Text("Locator");
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
    const Timed fifo = TimedGet(host_.Port(), "/KXRXML/FileInfo?%5CMedia%5Cfeed.mov&all");
    ExpectPrompt(fifo, "HTTP/1.1 200 OK");
    const XmlAnswer fifoInfo(fifo.body);
    ASSERT_TRUE(fifoInfo.Valid()) << fifo.body;
    EXPECT_EQ(fifoInfo.Text("Locator"), "\\Media\\feed.mov");
    EXPECT_EQ(fifoInfo.Text("FileName"), "feed");
    EXPECT_EQ(fifoInfo.Text("FileType"), "Unknown");
    EXPECT_EQ(fifoInfo.Text("Size"), "0");
    EXPECT_FALSE(fifoInfo.Has("UserBits") || fifoInfo.Has("AudioChannels")) << fifo.body;

    // The regular file beside it still gets its full description.
    const Timed wave = TimedGet(host_.Port(), "/KXRXML/FileInfo?%5CMedia%5Ctone.wav&all");
    ExpectPrompt(wave, "HTTP/1.1 200 OK");
    const XmlAnswer waveInfo(wave.body);
    EXPECT_EQ(waveInfo.Text("AudioChannels"), "2") << wave.body;
    EXPECT_EQ(waveInfo.Text("AudioFrequency"), "48000") << wave.body;
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
        ExpectPrompt(TimedGet(host_.Port(), target), "HTTP/1.1 403 Forbidden");
    const Timed home = TimedGet(host_.Port(), "/index.html");
    ExpectPrompt(home, "HTTP/1.1 200 OK");
    EXPECT_EQ(home.body, "home");

    // Listings name the FIFO; a FIFO as the default document is passed over.
    const struct {
        const char* target;
        std::vector<const char*> names;
    } listings[] = {{"/clips/", {"feed.mov", "note.txt"}}, {"/shelf/", {"a.txt", "index.html"}}};
    for (const auto& listing : listings) {
        const Timed t = TimedGet(host_.Port(), listing.target);
        EXPECT_LT(t.took.count(), kAnswerLimit.count()) << t.target;
        EXPECT_EQ(t.status.rfind("HTTP/1.1 2", 0), 0u) << t.target << ": " << t.status;
        for (const char* name : listing.names)
            EXPECT_NE(t.body.find(name), std::string::npos) << t.target << " lists " << name;
    }

    ASSERT_EQ(browse.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_EQ(browse.get().size(), 4u);
}

} // namespace

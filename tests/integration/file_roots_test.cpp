// Files below a configured root, asked for by their locators through the
// real kxr-host.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host_process.h"

namespace {

// A host whose configuration names the root Media.
class MediaRootHost : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        host_ = std::make_unique<kxrit::HostProcess>();
        const std::filesystem::path files = host_->Dir() / "files";
        kxrtest::WriteFile(host_->Root() / "index.html", "home");
        kxrtest::WriteFile(files / "clips" / "a.mov", movie_);
        kxrtest::WriteFile(files / "clips" / "two words.mov", "spaced");
        kxrtest::WriteFile(files / "seq" / "clip0001.dpx", "frame one");
        kxrtest::WriteFile(files / "seq" / "clip0002.dpx", "frame two");
        started_ = host_->Start("[KXR.NetServer.FileDirs]\nMedia = '" + files.string() + "'\n");
    }
    static void TearDownTestSuite() { host_.reset(); }
    void SetUp() override { ASSERT_TRUE(started_) << host_->Failure(); }

    static inline std::unique_ptr<kxrit::HostProcess> host_;
    static inline bool started_ = false;
    // A movie's first bytes (with zeros), then enough to span several reads.
    static inline const std::string movie_ =
        std::string("\0\0\0\024ftypqt  ", 12) + std::string(70000, 'm') + "end";
};

TEST_F(MediaRootHost, ServesFilesBelowTheRootByTheirLocators) {
    // A range form is served as its first frame; the document root is still
    // served beside the roots. Nothing (empty) is a 404.
    const std::pair<const char*, std::string> rows[] = {
        {"/Media/clips/a.mov", movie_},
        {"/Media/clips/two%20words.mov", "spaced"},
        {"/Media/seq/clip[0001-0002].dpx", "frame one"},
        {"/index.html", "home"},
        {"/Other/clips/a.mov", ""},
        {"/media/clips/a.mov", ""},
    };
    for (const auto& [target, body] : rows) {
        const auto got = kxrit::StatusAndBody(host_->Get(target));
        EXPECT_EQ(got.first, body.empty() ? "HTTP/1.1 404 Not Found" : "HTTP/1.1 200 OK") << target;
        EXPECT_TRUE(body.empty() || got.second == body) << target << ": " << got.second.size();
    }
}

// The browser test walks a root's listing by its links; the server test
// checks a listing's bytes. Without its slash a folder redirects to the
// request's own path.
TEST_F(MediaRootHost, FoldersRedirectToTheirListing) {
    for (const char* folder : {"/Media/clips", "/Media"}) {
        const std::string moved = host_->Get(folder);
        EXPECT_EQ(kxrit::StatusAndBody(moved).first, "HTTP/1.1 301 Moved Permanently") << folder;
        EXPECT_NE(moved.find("\r\nLocation: " + std::string(folder) + "/\r\n"), std::string::npos)
            << moved;
    }
    const auto [status, page] = kxrit::StatusAndBody(host_->Get("/Media/seq/"));
    EXPECT_EQ(status, "HTTP/1.1 201 Created");
    EXPECT_NE(page.find("<A href=\"/Media/\">../</A>\n<A href=\"/Media/seq/clip0001.dpx\">"),
              std::string::npos)
        << page;
}

} // namespace

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
    const struct {
        const char* target;
        std::string body;
    } rows[] = {
        {"/Media/clips/a.mov", movie_},
        {"/Media/clips/two%20words.mov", "spaced"},
        {"/Media%5Cclips%5Ca.mov", movie_},
        // A range form is served as its first frame.
        {"/Media/seq/clip[0001-0002].dpx", "frame one"},
    };
    for (const auto& row : rows) {
        const auto [status, body] = kxrit::StatusAndBody(host_->Get(row.target));
        EXPECT_EQ(status, "HTTP/1.1 200 OK") << row.target;
        EXPECT_TRUE(body == row.body) << row.target << ": " << body.size() << " bytes";
    }
}

TEST_F(MediaRootHost, MissingFilesAndUnknownRootsAre404) {
    for (const char* target :
         {"/Media/clips/none.mov", "/Other/clips/a.mov", "/media/clips/a.mov"}) {
        EXPECT_EQ(kxrit::StatusAndBody(host_->Get(target)).first, "HTTP/1.1 404 Not Found")
            << target;
    }
    // The document root is still served beside the roots.
    EXPECT_EQ(kxrit::StatusAndBody(host_->Get("/index.html")),
              std::make_pair(std::string("HTTP/1.1 200 OK"), std::string("home")));
}

} // namespace

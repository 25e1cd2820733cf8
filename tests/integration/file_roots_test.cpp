// Files below a configured root, asked for by their locators through the
// real kxr-host.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

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

// The href values of a listing, in page order.
std::vector<std::string> Links(const std::string& page) {
    std::vector<std::string> links;
    const std::string marker = "<A href=\"";
    for (size_t at = page.find(marker); at != std::string::npos; at = page.find(marker, at)) {
        at += marker.size();
        links.push_back(page.substr(at, page.find('"', at) - at));
    }
    return links;
}

TEST_F(MediaRootHost, FoldersListByTheirLocatorsAndTheirLinksWalkTheRoot) {
    // Without its slash a folder redirects to the request's own path.
    const std::string moved = host_->Get("/Media/clips");
    EXPECT_EQ(kxrit::StatusAndBody(moved).first, "HTTP/1.1 301 Moved Permanently");
    EXPECT_NE(moved.find("\r\nLocation: /Media/clips/\r\n"), std::string::npos) << moved;
    EXPECT_NE(host_->Get("/Media").find("\r\nLocation: /Media/\r\n"), std::string::npos);

    // Follow every link, as a browser would, from the root's own listing.
    std::vector<std::string> pending = {"/Media/"};
    std::set<std::string> folders;
    std::set<std::string> files;
    while (!pending.empty()) {
        const std::string folder = pending.back();
        pending.pop_back();
        if (!folders.insert(folder).second)
            continue;
        const auto [status, page] = kxrit::StatusAndBody(host_->Get(folder));
        ASSERT_EQ(status, "HTTP/1.1 201 Created") << folder;
        EXPECT_NE(page.find("<TITLE>Index of " + folder + "</TITLE>"), std::string::npos) << page;
        for (const std::string& link : Links(page)) {
            if (link == "/")
                continue; // up from the root, out of it
            EXPECT_EQ(link.rfind("/Media/", 0), 0u) << link << " in " << folder;
            if (link.back() == '/') {
                pending.push_back(link);
            } else if (files.insert(link).second) {
                EXPECT_EQ(kxrit::StatusAndBody(host_->Get(link)).first, "HTTP/1.1 200 OK") << link;
            }
        }
    }
    EXPECT_EQ(folders, (std::set<std::string>{"/Media/", "/Media/clips/", "/Media/seq/"}));
    EXPECT_EQ(files, (std::set<std::string>{"/Media/clips/a.mov", "/Media/clips/two%20words.mov",
                                            "/Media/seq/clip0001.dpx", "/Media/seq/clip0002.dpx"}));
    // Up from a folder stays in the root.
    EXPECT_EQ(Links(host_->Get("/Media/seq/")).front(), "/Media/");
}

} // namespace

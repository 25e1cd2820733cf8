// The generated pages as a browser meets them: the real host serves them over
// HTTP to headless Chromium, driven by puppeteer-core (tests/browser/), which
// opens every page and clicks the media page's clip and transport links.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "host_process.h"
#include "node_test_run.h"

#ifndef KXR_ARTEFACT_DIR
#error "the build names the artefact directory in KXR_ARTEFACT_DIR"
#endif
#ifndef KXR_BROWSER_TESTS_DIR
#error "the build names the browser tests' folder in KXR_BROWSER_TESTS_DIR"
#endif

namespace kxrit {
namespace {

namespace fs = std::filesystem;

TEST(PagesInBrowser, EveryPageRendersAndTheMediaLinksWorkWhenClicked) {
    HostProcess host;
    // Unreadable media files still make clips (of a default length).
    kxrtest::WriteFile(host.Dir() / "media" / "alpha.mov", "not really a movie");
    kxrtest::WriteFile(host.Dir() / "media" / "bravo.mov", "not really a movie either");
    // Names with markup, as MakeDir or a copied file can leave them.
    kxrtest::WriteFile(host.Dir() / "media" / "<b>bold&x.mov", "markup in a name");
    fs::create_directories(host.Dir() / "media" / "<i>made");
    kxrtest::WriteFile(host.Dir() / "media" / "<i>made" / "inner.txt", "inside");
    // The pages' style sheet and transport pictures, as the demo root has them.
    fs::copy(fs::path(KXR_BROWSER_TESTS_DIR) / ".." / ".." / "www", host.Root(),
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    ASSERT_TRUE(
        host.Start("[KXR.NetServer.FileDirs]\nMedia = '" + (host.Dir() / "media").string() + "'\n"))
        << host.Failure();

    // The media page as a person sees it after the clicks.
    const fs::path shot = fs::path(KXR_ARTEFACT_DIR) / "media-page.png";
    fs::create_directories(shot.parent_path());
    fs::remove(shot);
    const NodeRun run = RunNodeTest("pages.test.mjs", host, {"KXR_SCREENSHOT=" + shot.string()});
    EXPECT_EQ(kxrtest::ReadFile(shot).substr(1, 3), "PNG") << run.output;
}

} // namespace
} // namespace kxrit

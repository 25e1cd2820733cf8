// The generated pages as a browser meets them: the real host serves them over
// HTTP to headless Chromium, driven by puppeteer-core (tests/browser/), which
// opens every page and clicks the media page's clip and transport links.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host_process.h"
#include "platform/kxr_process.h"

#ifndef KXR_ARTEFACT_DIR
#error "the build names the artefact directory in KXR_ARTEFACT_DIR"
#endif
#ifndef KXR_BROWSER_TESTS_DIR
#error "the build names the browser tests' folder in KXR_BROWSER_TESTS_DIR"
#endif

namespace kxrit {
namespace {

namespace fs = std::filesystem;
namespace plat = kxr::platform;

constexpr uint32_t kBrowserTimeoutMs = 180000;

struct NodeRun {
    bool finished = false;
    int exitCode = -1;
    std::string output; // standard output and error together
};

// Runs one node test file against the host; ended by its pid when it overruns.
NodeRun RunBrowserTest(const char* file, const HostProcess& host, const fs::path& shot) {
    const fs::path dir = KXR_BROWSER_TESTS_DIR;
    const fs::path log = host.Dir() / "browser.log";
    NodeRun run;
    if (!fs::exists(dir / "node_modules" / "puppeteer-core")) {
        run.output =
            "puppeteer-core is missing: scripts/install-deps runs npm ci in " + dir.string();
        return run;
    }
    const std::vector<std::string> argv = {"/usr/bin/env",
                                           "KXR_BASE_URL=http://127.0.0.1:" +
                                               std::to_string(host.Port()),
                                           "KXR_SCREENSHOT=" + shot.string(),
                                           "node",
                                           "--test",
                                           "--test-reporter=spec",
                                           (dir / file).string()};
    const plat::ProcessId process = plat::ProcessSpawn(argv, log.string().c_str());
    if (process == plat::kNoProcess)
        return run;
    run.finished = plat::ProcessWait(process, kBrowserTimeoutMs, &run.exitCode);
    if (!run.finished) {
        plat::ProcessKill(process);
        int ignored = 0;
        plat::ProcessWait(process, 10000, &ignored);
    }
    run.output = kxrtest::ReadFile(log);
    return run;
}

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
    const NodeRun run = RunBrowserTest("pages.test.mjs", host, shot);
    ASSERT_TRUE(run.finished) << "the browser test did not finish in time:\n" << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(kxrtest::ReadFile(shot).substr(1, 3), "PNG") << run.output;
}

} // namespace
} // namespace kxrit

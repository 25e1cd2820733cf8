// The generated pages as a browser meets them: fetched over HTTP from the real
// host, saved as files and rendered by headless Chromium; and the media page's
// own clip link, followed, loads the clip and marks its row.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "host_process.h"
#include "platform/kxr_process.h"

#ifndef KXR_ARTEFACT_DIR
#error "the build names the artefact directory in KXR_ARTEFACT_DIR"
#endif
#ifndef KXR_WWW_DIR
#error "the build names the demo document root in KXR_WWW_DIR"
#endif

namespace kxrit {
namespace {

namespace fs = std::filesystem;
namespace plat = kxr::platform;

constexpr uint32_t kBrowserTimeoutMs = 60000;

// The status line and the body.
std::pair<std::string, std::string> Get(const HostProcess& host, const std::string& target) {
    return StatusAndBody(host.Get(target));
}

// Where Debian's chromium package puts it.
const char kChromium[] = "/usr/bin/chromium";

struct BrowserRun {
    bool finished = false;
    int exitCode = -1;
    std::string output; // standard output and error together
};

// One headless Chromium with a profile of its own, ended by its pid when it
// overruns.
BrowserRun RunChromium(const std::vector<std::string>& extra, const fs::path& work) {
    const fs::path profile = work / "profile";
    const fs::path log = work / "chromium.log";
    fs::remove_all(profile); // the browser makes it afresh
    fs::remove(log);
    // clang-format off
    std::vector<std::string> argv = {kChromium, "--headless", "--no-sandbox", "--disable-gpu",
        "--disable-quic", "--no-first-run", "--disable-background-networking",
        "--disable-component-update", "--disable-sync", "--user-data-dir=" + profile.string()};
    // clang-format on
    argv.insert(argv.end(), extra.begin(), extra.end());
    BrowserRun run;
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
    std::error_code ignored;
    fs::remove_all(profile, ignored);
    return run;
}

class PagesInBrowser : public ::testing::Test {
protected:
    void SetUp() override {
        // Unreadable media files still make clips (of a default length).
        kxrtest::WriteFile(host_.Dir() / "media" / "alpha.mov", "not really a movie");
        kxrtest::WriteFile(host_.Dir() / "media" / "bravo.mov", "not really a movie either");
        ASSERT_TRUE(host_.Start()) << host_.Failure();
    }

    HostProcess host_;
};

// The row of the clip table that links to clip, from its row start to its end.
std::string ClipRow(const std::string& page, const std::string& clip) {
    const size_t link = page.find("&load=" + clip + "\"");
    if (link == std::string::npos)
        return std::string();
    const size_t start = page.rfind("\n <TR", link);
    const size_t end = page.find(" </TR>", link);
    return page.substr(start, end - start);
}

TEST_F(PagesInBrowser, ClipLinkOfTheMediaPageLoadsAndMarksIt) {
    const auto [status, first] = Get(host_, "/KXRMedia");
    ASSERT_EQ(status, "HTTP/1.1 200 OK");
    ASSERT_NE(ClipRow(first, "alpha"), "") << first;
    const std::string row = ClipRow(first, "bravo");
    ASSERT_NE(row, "") << first;
    EXPECT_EQ(row.find("mediaSelected"), std::string::npos) << row;

    // Follow the page's own link, as a browser resolves it against /KXRMedia.
    const size_t href = row.find("href=\"") + 6;
    const std::string link = row.substr(href, row.find('"', href) - href);
    EXPECT_EQ(link, "KXRMedia?type=0&channel=0&load=bravo");
    const std::string loaded = Get(host_, "/" + link).second;
    EXPECT_EQ(ClipRow(loaded, "bravo").rfind("\n <TR class=\"mediaSelected\">", 0), 0u) << loaded;
    EXPECT_EQ(ClipRow(loaded, "alpha").find("mediaSelected"), std::string::npos);

    // The engine has it cued: a plain redraw still marks it.
    const std::string again = Get(host_, "/KXRMedia").second;
    EXPECT_NE(ClipRow(again, "bravo").find("mediaSelected"), std::string::npos) << again;
    EXPECT_EQ(Get(host_, "/KXRGetState").second, "Cued");
}

TEST_F(PagesInBrowser, EveryPageRendersInChromium) {
    ASSERT_TRUE(fs::exists(kChromium))
        << kChromium << " is missing: scripts/install-deps installs Debian's chromium package";

    const fs::path pages = fs::path(KXR_ARTEFACT_DIR) / "pages";
    fs::create_directories(pages);
    // The pages' style sheet and transport pictures beside the saved files.
    fs::copy_file(fs::path(KXR_WWW_DIR) / "kxr.css", pages / "kxr.css",
                  fs::copy_options::overwrite_existing);
    fs::copy(fs::path(KXR_WWW_DIR) / "Graphics", pages / "Graphics",
             fs::copy_options::overwrite_existing | fs::copy_options::recursive);

    // A cued clip, so that the media page shows a selected row.
    ASSERT_NE(Get(host_, "/KXRMedia?load=alpha").second.find("mediaSelected"), std::string::npos);

    const struct {
        const char* path;
        const char* title;
        const char* content; // as the browser's DOM has it
    } cases[] = {
        {"KXRStatus", "KXR Status (Generated)", "<h1 class=\"pageheader\">KXR Status</h1>"},
        {"KXRChannels", "KXR Channel Status (Generated)", "<td width=\"100\">Stopped &nbsp;0%<br>"},
        {"KXRSystem", "KXR System (Generated)", "<b>Channel 1</b>"},
        {"KXRAudio", "KXR Audio (Generated)", "<td width=\"100\">In Level</td>"},
        {"KXRVideo", "KXR Video (Generated)", "<td width=\"100\">Output</td>"},
        {"KXRMisc", "KXR Misc (Generated)", "Other (JAR File)</a>"},
        {"KXRMedia", "KXR Media Page", "<tr class=\"mediaSelected\">"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const auto [status, body] = Get(host_, std::string("/") + c.path);
        ASSERT_EQ(status, "HTTP/1.1 200 OK");
        ASSERT_EQ(body.rfind("<HTML>", 0), 0u) << body.substr(0, 200);
        const fs::path file = pages / (std::string(c.path) + ".html");
        kxrtest::WriteFile(file, body);

        const BrowserRun run = RunChromium({"--dump-dom", file.string()}, pages);
        ASSERT_TRUE(run.finished) << "chromium did not finish within 60 s:\n" << run.output;
        EXPECT_EQ(run.exitCode, 0) << run.output;
        EXPECT_NE(run.output.find(std::string("<title>") + c.title + "</title>"), std::string::npos)
            << run.output;
        EXPECT_NE(run.output.find(c.content), std::string::npos) << run.output;
    }

    // The media page as a person sees it, kept beside the saved pages.
    const fs::path shot = pages.parent_path() / "media-page.png";
    fs::remove(shot);
    const BrowserRun run =
        RunChromium({"--hide-scrollbars", "--window-size=1024,768", "--screenshot=" + shot.string(),
                     (pages / "KXRMedia.html").string()},
                    pages);
    ASSERT_TRUE(run.finished) << "chromium did not finish within 60 s:\n" << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(kxrtest::ReadFile(shot).substr(1, 3), "PNG") << run.output;
}

} // namespace
} // namespace kxrit

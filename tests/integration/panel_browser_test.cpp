// The control panel (www/panel/) as a browser meets it: the real host serves
// it and the JSON interface over HTTP to headless Chromium, driven by
// puppeteer-core (tests/browser/panel.test.mjs and panel_viewer.test.mjs).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "host_process.h"
#include "node_test_run.h"

#ifndef KXR_ARTEFACT_DIR
#error "the build names the artefact directory in KXR_ARTEFACT_DIR"
#endif
#ifndef KXR_SOURCE_WWW_DIR
#error "the build names the demo document root in KXR_SOURCE_WWW_DIR"
#endif

namespace kxrit {
namespace {

namespace fs = std::filesystem;

// An 8 x 8 PNG picture, one colour.
constexpr char kTinyPng[] =
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x08\x00\x00"
    "\x00\x08\x08\x02\x00\x00\x00\x4b\x6d\x29\xdc\x00\x00\x00\x11\x49\x44\x41\x54\x78\xda\x63"
    "\x38\xa1\xa1\x81\x15\x31\x0c\x2d\x09\x00\x82\x5d\x46\x01\x17\x62\x89\x75\x00\x00\x00\x00"
    "\x49\x45\x4e\x44\xae\x42\x60\x82";

// Half a second of silence as a WAVE file: the head of 16-bit mono PCM at
// 8000 samples a second with 8000 bytes of data, then the data.
constexpr char kWaveHead[] =
    "RIFF\x64\x1f\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1f\0\0\x80\x3e\0\0"
    "\x02\0\x10\0data\x40\x1f\0\0";

// Two named channels (one name with markup) and the record directory, also
// the file root \Media: a movie the media library cannot read, a sound, a
// numbered picture sequence and a folder.
std::string PanelFixture(const HostProcess& host) {
    const fs::path media = host.Dir() / "media";
    kxrtest::WriteFile(media / "alpha.mov", "not really a movie");
    kxrtest::WriteFile(media / "tone.wav",
                       std::string(kWaveHead, sizeof kWaveHead - 1) + std::string(8000, '\0'));
    for (const char* frame : {"shot0001.png", "shot0002.png", "shot0003.png"})
        kxrtest::WriteFile(media / frame, std::string(kTinyPng, sizeof kTinyPng - 1));
    fs::create_directories(media / "nested");
    kxrtest::WriteFile(media / "nested" / "inner.txt", "inside");
    fs::copy(KXR_SOURCE_WWW_DIR, host.Root(),
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    return "[KXR.Engine.Channel0]\nName = 'Play A'\n[KXR.Engine.Channel1]\nName = 'Play <B>'\n"
           "[KXR.NetServer.FileDirs]\nMedia = '" +
           media.string() + "'\n";
}

TEST(PanelInBrowser, ChannelsArePushedAndDrivenClipsAndFilesAreBrowsed) {
    HostProcess host;
    ASSERT_TRUE(host.Start(PanelFixture(host))) << host.Failure();
    EXPECT_NE(host.Output().find("control panel http://127.0.0.1:" + std::to_string(host.Port()) +
                                 "/panel/"),
              std::string::npos)
        << host.Output();
    // The panel as a tablet shows it.
    const fs::path shot = fs::path(KXR_ARTEFACT_DIR) / "panel-tablet.png";
    fs::create_directories(shot.parent_path());
    fs::remove(shot);
    const NodeRun run = RunNodeTest("panel.test.mjs", host, {"KXR_SCREENSHOT=" + shot.string()});
    EXPECT_EQ(kxrtest::ReadFile(shot).substr(1, 3), "PNG") << run.output;
}

// Made for these tests with PBKDF2-HMAC-SHA256 (100000 iterations, the
// salt's bytes spell "kxr-panel-viewer" and "kxr-panel-driver").
constexpr char kUsers[] = "[KXR.NetServer.Users]\n"
                          "watcher = \"viewer:pbkdf2-sha256:100000:a3hyLXBhbmVsLXZpZXdlcg==:"
                          "78CWG5bNVEdrcWEgzeozeaCjaYb+uAIkG1Dmz18ZFpM=\"\n"
                          "driver = \"operator:pbkdf2-sha256:100000:a3hyLXBhbmVsLWRyaXZlcg==:"
                          "cksTJsRF7shMDfmWYTGreujGdlZo7ih/JbUj5Y0jO+o=\"\n";

TEST(PanelInBrowser, AViewerFindsTheTransportDisabled) {
    HostProcess host;
    ASSERT_TRUE(host.Start(PanelFixture(host) + kUsers)) << host.Failure();
    const NodeRun run =
        RunNodeTest("panel_viewer.test.mjs", host,
                    {"KXR_VIEWER=watcher:watch-only-pass", "KXR_OPERATOR=driver:drive-it-pass"});
    // Until the server checks logins, the node tests skip themselves.
    if (run.output.find("skipped 0") == std::string::npos)
        GTEST_SKIP() << run.output;
}

} // namespace
} // namespace kxrit

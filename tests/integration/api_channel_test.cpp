// A channel driven through the page interface of the running host, and read
// back with the plain-text values a script polls.
#include <gtest/gtest.h>

#include <string>

#include "host_process.h"

namespace {

TEST(ApiChannelControl, PageQueriesDriveAChannelThatScriptsReadBack) {
    kxrit::HostProcess host;
    // Files the media library cannot read count as ten seconds each.
    kxrtest::WriteFile(host.Dir() / "media" / "clipone.mov", "not really a movie");
    kxrtest::WriteFile(host.Dir() / "media" / "cliptwo.mov", "not really a movie");
    kxrtest::WriteFile(host.Root() / "notes.txt", "plain notes\n");
    kxrtest::WriteFile(host.Root() / "empty.txt", "");
    ASSERT_TRUE(host.Start()) << host.Failure();
    auto value = [&](const std::string& target) {
        const auto [status, body] = kxrit::StatusAndBody(host.Get("/" + target));
        EXPECT_EQ(status, "HTTP/1.1 200 OK") << target;
        return body;
    };

    EXPECT_EQ(value("KXRTotalChannels"), "2");
    EXPECT_EQ(value("KXRChannelName?setchannel=1"), "Channel 2");
    EXPECT_EQ(value("KXRGetNextClip&clipid=clipone"), "cliptwo");
    EXPECT_EQ(value("KXRGetState?load=cliptwo"), "Cued");
    EXPECT_EQ(value("KXRGetFrame?seek=00:00:04:00"), "100");
    EXPECT_EQ(value("KXRGetFrame?seek=-00:00:01:10"), "65");

    EXPECT_EQ(value("KXRGetState?play"), "Playing");
    EXPECT_EQ(value("KXRGetSpeed"), "1.00");
    // The engine's clock stands still until it is moved: one second of play.
    value("KXRXML/MediaCmd?SetValue&channel=1&cmdalt=900001&position=1000");
    EXPECT_EQ(value("KXRGetFrame"), "90");
    EXPECT_EQ(value("KXRGetPosition"), "00:00:03:15");

    EXPECT_EQ(value("KXRGetState?speed=-32760&play"), "Shuttle");
    EXPECT_EQ(value("KXRGetSpeed"), "-0.50");
    // "channel=" is for one request only; the selected channel stays 1.
    EXPECT_EQ(value("KXRGetState?channel=0"), "Stopped");
    EXPECT_EQ(value("KXRGetState?pause"), "Paused");
    EXPECT_EQ(value("KXRGetSpeed"), "0.00");

    // The XML branch takes the selected channel unless it names another.
    const std::string stamp = value("KXRGetLastChangeMs");
    EXPECT_EQ(value("KXRXML/GetLastChangeMs"), stamp);
    EXPECT_NE(value("KXRXML/GetLastChangeMs?channel=0"), stamp);

    EXPECT_EQ(value("KXRPassThrough?notes.txt"), "plain notes\n");
    // An empty file is not an answer: the path goes on to the file server.
    EXPECT_EQ(kxrit::StatusAndBody(host.Get("/KXRPage?empty.txt")).first, "HTTP/1.1 404 Not Found");
}

} // namespace

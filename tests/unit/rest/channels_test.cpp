// A channel as JSON, and the transport body read into a media command.
#include "rest/rest_channels.h"

#include <gtest/gtest.h>

#include <string>

#include "kxr/tempex.h"
#include "tests/support/fake_engine.h"

namespace {

using kxr::rest::Json;
using kxr::rest::ParseTransport;
using kxr::rest::TransportCommand;

TEST(RestChannelJson, ReadsEveryFieldFromTheEngine) {
    kxrtest::FakeEngine engine;
    engine.SetText(kOrdGetChannelName, "Play \"A\"");
    engine.SetText(kOrdGetStateText, "Shuttle");
    engine.SetText(kOrdGetCurrentClip, "bars");
    engine.SetResult(kOrdGetSpeed, -32760);
    engine.SetResult(kOrdGetFrame, 90061);
    engine.SetResult(kOrdGetTcType, kTcDropFrame);
    engine.SetResult(kOrdGetMode, 1);
    engine.SetResult(kOrdGetLastChangeMs, 0xFFFFFFF0);
    const Json channel = kxr::rest::ChannelJson(3);
    EXPECT_EQ(kxr::rest::Dump(channel),
              R"({"index":3,"name":"Play \"A\"","mode":"vtr","state":"shuttle","speed":-0.5,)"
              R"("position":{"timecode":"00:50:05;01","frames":90061,"tcType":"drop-frame"},)"
              R"("clip":"bars","lastChange":4294967280})");

    engine.SetText(kOrdGetStateText, "");
    engine.SetText(kOrdGetCurrentClip, "");
    engine.SetResult(kOrdGetMode, 7);
    engine.SetResult(kOrdGetTcType, 99);
    const Json bare = kxr::rest::ChannelJson(0);
    EXPECT_EQ(bare["state"], "unknown");
    EXPECT_EQ(bare["mode"], "unknown");
    EXPECT_TRUE(bare["clip"].is_null());
    EXPECT_EQ(bare["position"]["tcType"], "99");
}

struct Parsed {
    bool ok = false;
    TransportCommand command;
    std::string reason;
};

Parsed Read(const std::string& body, uint32_t tcType = kTcPal) {
    Parsed parsed;
    parsed.ok = ParseTransport(body, tcType, &parsed.command, &parsed.reason);
    return parsed;
}

// The flags HTTP cannot see; the host test drives every action and reads back
// the state it leaves.
TEST(RestTransport, EachActionBecomesItsCommand) {
    const struct {
        const char* body;
        uint32_t cmd;
        uint32_t flags;
        int32_t position;
        int32_t speed;
        const char* clip;
    } rows[] = {
        {R"({"action":"play","clip":"bars","loop":true,"speed":2,"position":"00:00:01:00"})",
         kCmdPlay, MCF_TEXT | MCF_LOOP | MCF_SPEED | MCF_POSITION_ABS, 25, 131040, "bars"},
        {R"({"action":"play","loop":false,"speed":-0.5})", kCmdPlay, MCF_SPEED, -1, -32760, ""},
        {R"({"action":"shuttle","speed":-100})", kCmdPlay, MCF_ISSHUTTLE | MCF_SPEED, -1, -6552000,
         ""},
        {R"({"action":"stop","position":"1:00"})", kCmdStop, MCF_POSITION_ABS, 25, 0, ""},
        {R"({"action":"pause"})", kCmdPause, 0, -1, 0, ""},
    };
    for (const auto& row : rows) {
        const Parsed parsed = Read(row.body);
        ASSERT_TRUE(parsed.ok) << row.body << ": " << parsed.reason;
        EXPECT_EQ(parsed.command.cmd, row.cmd) << row.body;
        EXPECT_EQ(parsed.command.flags, row.flags) << row.body;
        if ((row.flags & MCF_POSITION_ABS) != 0) {
            EXPECT_EQ(parsed.command.position, row.position) << row.body;
        }
        if ((row.flags & MCF_SPEED) != 0) {
            EXPECT_EQ(parsed.command.speed, row.speed) << row.body;
        }
        EXPECT_EQ(parsed.command.clip, row.clip) << row.body;
    }
}

TEST(RestTransport, TimecodeFollowsTheChannelsType) {
    EXPECT_EQ(Read(R"({"action":"seek","position":"00:01:00;02"})", kTcDropFrame).command.position,
              1800);
    EXPECT_EQ(Read(R"({"action":"seek","position":"00:01:00:02"})", kTcPal).command.position, 1502);
    EXPECT_FALSE(Read(R"({"action":"seek","position":"00:00:00:29"})", kTcPal).ok);
}

TEST(RestTransport, RefusesBodiesBeforeTheyReachTheEngine) {
    const char* bodies[] = {
        "",
        "not json",
        "[\"play\"]",
        "{}",
        R"({"action":7})",
        R"({"action":"Play"})",
        R"({"action":"rewind"})",
        R"({"action":"play","volume":1})",
        R"({"action":"record","clip":"bars"})",
        R"({"action":"seek"})",
        R"({"action":"seek","position":-1})",
        R"({"action":"seek","position":2147483648})",
        R"({"action":"seek","position":1.5})",
        R"({"action":"seek","position":"soon"})",
        R"({"action":"seek","position":null})",
        R"({"action":"play","speed":100.01})",
        R"({"action":"play","clip":""})",
        R"({"action":"play","clip":"ninechars"})",
        R"({"action":"play","clip":"a\u0001"})",
        R"({"action":"play","loop":1})",
        "{\"action\":\"play\",\"clip\":\"\xff\"}",
    };
    for (const char* body : bodies) {
        const Parsed parsed = Read(body);
        EXPECT_FALSE(parsed.ok) << body;
        EXPECT_FALSE(parsed.reason.empty()) << body;
    }
}

} // namespace

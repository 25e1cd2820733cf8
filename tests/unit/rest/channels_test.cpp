// The transport body read into a media command.
#include "rest/rest_channels.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "kxr/tempex.h"

namespace {

using kxr::rest::ParseTransport;
using kxr::rest::TransportCommand;

// The flags HTTP cannot see; the host test drives every action and reads back
// the state it leaves. Timecodes follow the channel's type.
TEST(RestTransport, EachActionBecomesItsCommand) {
    const std::tuple<const char*, uint32_t, uint32_t, uint32_t, int32_t, int32_t, const char*>
        rows[] = {
            {R"({"action":"play","clip":"bars","loop":true,"speed":2,"position":"00:00:01:00"})",
             kTcPal, kCmdPlay, MCF_TEXT | MCF_LOOP | MCF_SPEED | MCF_POSITION_ABS, 25, 131040,
             "bars"},
            {R"({"action":"play","loop":false,"speed":-0.5})", kTcPal, kCmdPlay, MCF_SPEED, -1,
             -32760, ""},
            {R"({"action":"shuttle","speed":-100})", kTcPal, kCmdPlay, MCF_ISSHUTTLE | MCF_SPEED,
             -1, -6552000, ""},
            {R"({"action":"stop","position":"1:00"})", kTcPal, kCmdStop, MCF_POSITION_ABS, 25, 0,
             ""},
            {R"({"action":"pause"})", kTcPal, kCmdPause, 0, -1, 0, ""},
            {R"({"action":"seek","position":"00:01:00;02"})", kTcDropFrame, kCmdPause,
             MCF_POSITION_ABS, 1800, 0, ""},
        };
    for (const auto& [body, tcType, cmd, flags, position, speed, clip] : rows) {
        TransportCommand command;
        std::string reason;
        ASSERT_TRUE(ParseTransport(body, tcType, &command, &reason)) << body << ": " << reason;
        EXPECT_EQ(std::make_tuple(command.cmd, command.flags, command.position, command.speed,
                                  command.clip),
                  std::make_tuple(cmd, flags, position, speed, std::string(clip)))
            << body;
    }
}

TEST(RestTransport, RefusesBodiesBeforeTheyReachTheEngine) {
    const char* bodies[] = {
        "", "[\"play\"]", "{}", R"({"action":7})", R"({"action":"Play"})", R"({"action":"rewind"})",
        R"({"action":"play","volume":1})", R"({"action":"record","clip":"bars"})",
        R"({"action":"seek"})", R"({"action":"seek","position":-1})",
        R"({"action":"seek","position":2147483648})", R"({"action":"seek","position":1.5})",
        R"({"action":"seek","position":"soon"})", R"({"action":"seek","position":null})",
        // A frame 29 does not exist at 25 frames a second.
        R"({"action":"seek","position":"00:00:00:29"})", R"({"action":"play","speed":100.01})",
        R"({"action":"play","clip":""})", R"({"action":"play","clip":"ninechars"})",
        R"({"action":"play","clip":"a\u0001"})", R"({"action":"play","loop":1})",
        "{\"action\":\"play\",\"clip\":\"\xff\"}"};
    for (const char* body : bodies) {
        TransportCommand command;
        std::string reason;
        EXPECT_FALSE(ParseTransport(body, kTcPal, &command, &reason)) << body;
        EXPECT_FALSE(reason.empty()) << body;
    }
}

} // namespace

// The role a request needs, per route, checked against what the router and
// the dispatcher really do with the same text: every request the decision
// lets a viewer make must leave the engine and the selected channel alone.
#include "access/roles.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "answer/my_http_client.h"
#include "binding/callback_slots.h"
#include "media/media_cmd.h"
#include "module/dispatch_table.h"
#include "module/module_state.h"
#include "module/router.h"
#include "tests/unit/api/api_test_support.h"

namespace kxrtest {
namespace {

using kxr::access::RequiredRole;
using kxr::access::Role;

Role Needs(const std::string& text) {
    return RequiredRole(text.substr(0, text.find("\r\n")), text);
}

// Requests of every route, with the role each needs: the edges of the
// decision. Plain commands are asked over HTTP (tests/integration/
// access_test.cpp), and the MediaCmd words and page keys are generated from
// their parsers below.
const std::pair<std::string, Role> kRows[] = {
    // Static files and listings, even one named like a key.
    {"GET /play HTTP/1.1\r\n\r\n", Role::Viewer},
    {"GET /KXRPassThrough?notes.txt HTTP/1.1\r\n\r\n", Role::Viewer},
    // Every page parses its query.
    {"GET /KXRChannelName?setchannel=1 HTTP/1.1\r\n\r\n", Role::Operator},
    // Without "?" the whole path is the query.
    {"GET /KXRGetState&play HTTP/1.1\r\n\r\n", Role::Operator},
    {"GET /playKXR HTTP/1.1\r\n\r\n", Role::Operator},
    // The file answer parses the query first: a file named like a key plays.
    {"GET /KXRPage?recording.txt HTTP/1.1\r\n\r\n", Role::Operator},
    // The XML branch never reads page keys.
    {"GET /KXRXML/ClipInfo?playout1 HTTP/1.1\r\n\r\n", Role::Viewer},
    {"GET /KXRXML/Status?x=1&play HTTP/1.1\r\n\r\n", Role::Viewer},
    // MakeDir comes before FileInfo in the dispatcher's table.
    {"GET /KXRXML/FileInfo?\\Media\\MakeDir.mov HTTP/1.1\r\n\r\n", Role::Operator},
    // MediaCmd: the first command word decides, the preview variant too.
    {"GET /KXRXML/MediaCmd?GetState&mpreview HTTP/1.1\r\n\r\n", Role::Viewer},
    {"GET /KXRXML/MediaCmd?Play&mpreview HTTP/1.1\r\n\r\n", Role::Operator},
    {"GET /KXRXML/MediaCmd?Stop&GetState HTTP/1.1\r\n\r\n", Role::Operator},
    // No command word: nothing is sent, but nothing needs to be.
    {"GET /KXRXML/MediaCmd HTTP/1.1\r\n\r\n", Role::Operator},
    // The host's relay paths, found anywhere in the text (/config,
    // /vorn and /monitor are asked over HTTP).
    {"GET /tarvikcmd?x HTTP/1.1\r\n\r\n", Role::Admin},
    {"GET /options?x HTTP/1.1\r\n\r\n", Role::Admin},
    {"GET /descriptors?x HTTP/1.1\r\n\r\n", Role::Admin},
    {"GET /webrtc/offer HTTP/1.1\r\n\r\n", Role::Admin},
    {"GET /index.html HTTP/1.1\r\nReferer: http://h/monitor/\r\n\r\n", Role::Admin},
    {"POST /x HTTP/1.1\r\nContent-Length: 9\r\n\r\n/config?a", Role::Admin},
    // Header lines belong to the path only when the target is short.
    {"GET /index.html HTTP/1.1\r\nReferer: http://h/KXRMedia?play\r\n\r\n", Role::Viewer},
    {"POST /KXRXML/Status HTTP/1.1\r\nContent-Length: 4\r\n\r\nplay", Role::Viewer},
    // HEAD and OPTIONS never reach the router; the editing methods change.
    {"HEAD /KXRMedia?play HTTP/1.1\r\n\r\n", Role::Viewer},
    {"OPTIONS /KXRMedia?play HTTP/1.1\r\n\r\n", Role::Viewer},
    {"PUT /webedit/v1/x HTTP/1.1\r\n\r\n", Role::Operator},
    {"DELETE /webedit/v1/config?x HTTP/1.1\r\n\r\n", Role::Admin},
};

// Media commands reach the fake engine too, so that it sees every command.
class RoleDecision : public ApiTest {
protected:
    void SetUp() override {
        ApiTest::SetUp();
        previous_ = kxr::MediaCmdHandler();
        kxr::SetMediaCmdHandler(engine.Table().mediaCmd);
    }
    void TearDown() override {
        kxr::SetMediaCmdHandler(previous_);
        ApiTest::TearDown();
    }
    // Whether the dispatcher, answering text, changed the engine's state or
    // the selected channel.
    bool Changes(const std::string& text) {
        engine.Clear();
        kxr::selectedChannel = 0;
        Ask(text);
        return engine.ChangedState() || kxr::selectedChannel != 0;
    }

private:
    kxr::MediaCmdHandlerFn previous_ = nullptr;
};

TEST_F(RoleDecision, EachRouteNeedsItsRole) {
    for (const auto& [text, role] : kRows)
        EXPECT_EQ(Needs(text), role) << text;
}

TEST_F(RoleDecision, WhatAViewerMayAskChangesNothingInTheDispatcher) {
    for (const auto& [text, role] : kRows) {
        if (role != Role::Viewer || text.rfind("HEAD ", 0) == 0 || text.rfind("OPTIONS ", 0) == 0)
            continue;
        EXPECT_FALSE(Changes(text)) << text << "\n" << Trace(engine);
    }
}

TEST_F(RoleDecision, TheMethodComesFromTheRequestLineNotTheBuffer) {
    // A request line longer than the receive buffer leaves later bytes
    // there; the router still reads them, so they are judged as a GET.
    const std::string line = "GET /" + std::string(5000, 'a') + " HTTP/1.1";
    EXPECT_EQ(RequiredRole(line, "HEAD /KXRMedia?play HTTP/1.1\r\n\r\n"), Role::Operator);
    EXPECT_EQ(RequiredRole("HEAD /x HTTP/1.1", "GET /KXRMedia?play HTTP/1.1\r\n\r\n"),
              Role::Viewer);
}

TEST_F(RoleDecision, EveryDispatcherWordHasADecision) {
    // A word added to the dispatcher's tables that changes state must be
    // decided in access/roles.cpp: asked bare, a word a viewer may send
    // leaves the engine alone.
    std::vector<std::string> paths;
    for (const kxr::DispatchEntry& entry : kxr::kXmlCommands)
        paths.push_back("KXRXML/" + std::string(entry.word));
    for (const kxr::DispatchEntry& entry : kxr::kPageCommands)
        paths.push_back("KXR" + std::string(entry.word));
    for (const std::string& path : paths) {
        const std::string text = "GET /" + path + " HTTP/1.1\r\n\r\n";
        EXPECT_NE(Needs(text), Role::Admin) << path;
        EXPECT_TRUE(Needs(text) != Role::Viewer || !Changes(text)) << path << "\n" << Trace(engine);
    }
}

TEST_F(RoleDecision, MediaCmdQueriesAreWhatTheQueryParserReadsAsQueries) {
    const char* words[] = {"Stop",     "Pause",      "Switch",         "Play",     "Record",
                           "RecStop",  "Eject",      "Transfer",       "Insert",   "Blank",
                           "Delete",   "Trim",       "ChanSelect",     "GetState", "SetState",
                           "GetValue", "ValueGet",   "ValueSupported", "SetValue", "ValueSet",
                           "Error",    "Terminate",  "Abort",          "getstate", "GETVALUEx",
                           "play",     "Frobnicate", "channel=1",      "loop"};
    for (const char* word : words) {
        const std::string query = std::string(word) + "&channel=1";
        request.query = query;
        MediaCmd record;
        kxr::InitMediaCmd(&record);
        kxr::MediaCmdFromQuery(&client, &record, &request);
        const Role role = record.cmd == kCmdGetState || record.cmd == kCmdGetValue ||
                                  record.cmd == kCmdValueSupported
                              ? Role::Viewer
                              : Role::Operator;
        // Asked with "?", and with the lead-in piece instead.
        EXPECT_EQ(Needs("GET /KXRXML/MediaCmd?" + query + " HTTP/1.1\r\n\r\n"), role)
            << word << " reads as command " << record.cmd;
        EXPECT_EQ(Needs("GET /KXRXMLMediaCmd&" + query + " HTTP/1.1\r\n\r\n"), role) << word;
    }
}

TEST_F(RoleDecision, PageKeysThatActAreTheOnesThatNeedAnOperator) {
    std::istringstream pieces("page=x channel=1 mode=1 type=2 setchannel=1 load=bars delete=bars "
                              "remove=bars insert=bars clipid=bars eject play stop pause record "
                              "recstop speed=100 seek=00:00:01:00 seek=+00:00:01:00 "
                              "setin=00:00:01:00 setout=00:00:02:00 setpos=00:00:01:00 Play EJECT "
                              "recStop player");
    for (std::string piece; pieces >> piece;) {
        const std::string text = "GET /KXRStatus?x&" + piece + " HTTP/1.1\r\n\r\n";
        EXPECT_EQ(Needs(text), Changes(text) ? Role::Operator : Role::Viewer) << piece << "\n"
                                                                              << Trace(engine);
    }
}

TEST_F(RoleDecision, EverythingTheRouterHandsToTheHostNeedsAnAdmin) {
    for (const auto& [text, role] : kRows) {
        const bool toHost = kxr::SelectRoute(text.c_str(), true) != kxr::Route::Dispatcher;
        EXPECT_EQ(toHost, role == Role::Admin) << text;
    }
}

} // namespace
} // namespace kxrtest

// The JSON face through real HTTP against kxr-host: every endpoint and its
// error paths, and the event stream's delivery, resume, cap and end. The
// engine's clock stands still unless a test moves it.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "access/password_hash.h"
#include "host_process.h"
#include "rest_client.h"

namespace {

namespace fs = std::filesystem;
namespace ka = kxr::access;
using kxrit::Call;
using kxrit::HttpAnswer;
using kxrit::Json;
using namespace nlohmann::literals;

// A problem document with the status it came with and part in its detail.
void ExpectProblem(const HttpAnswer& answer, int status, const std::string& part = "") {
    EXPECT_EQ(answer.status, status) << answer.head << "\n" << answer.body;
    EXPECT_EQ(answer.Header("Content-Type"), "application/problem+json") << answer.head;
    const Json problem = answer.JsonBody();
    EXPECT_EQ(problem.value("status", 0), status);
    EXPECT_EQ(problem.value("type", ""), "about:blank");
    EXPECT_NE(problem.value("detail", "").find(part), std::string::npos) << answer.body;
}

// Each field of expected, at any depth, as actual has it.
void ExpectFields(const Json& actual, const Json& expected) {
    for (const auto& field : expected.items()) {
        const Json got = actual.contains(field.key()) ? actual[field.key()] : Json();
        if (field.value().is_object())
            ExpectFields(got, field.value());
        else
            EXPECT_EQ(got, field.value()) << field.key() << " in " << actual.dump();
    }
}

class RestApiHost : public ::testing::Test {
protected:
    // Files the media library cannot read count as ten seconds each (250
    // frames in pal).
    void Start(const std::string& extra = "", const std::string& netServer = "") {
        kxrtest::WriteFile(host_.Dir() / "media" / "clipone.mov", "not really a movie");
        kxrtest::WriteFile(host_.Dir() / "media" / "cliptwo.mov", "not really a movie");
        ASSERT_TRUE(host_.Start(extra, netServer)) << host_.Failure();
    }
    uint16_t Port() const { return host_.Port(); }
    Json Get(const std::string& target) {
        const HttpAnswer answer = Call(Port(), "GET", target);
        EXPECT_EQ(answer.status, 200) << target << "\n" << answer.body;
        EXPECT_EQ(answer.Header("Content-Type"), "application/json") << target;
        return answer.JsonBody();
    }
    HttpAnswer Transport(int channel, const std::string& body) {
        return Call(Port(), "POST", "/api/v1/channels/" + std::to_string(channel) + "/transport",
                    body, "Content-Type: application/json\r\n");
    }
    // The engine's clock moves on by ms.
    void Advance(int ms) {
        const std::string answer = host_.Get(
            "/KXRXML/MediaCmd?SetValue&channel=0&cmdalt=900001&position=" + std::to_string(ms));
        ASSERT_NE(answer.find("200 OK"), std::string::npos) << answer;
    }

    kxrit::HostProcess host_;
};

TEST_F(RestApiHost, ChannelsAreReadAndDrivenThroughTransport) {
    Start();
    const Json channels = Get("/api/v1/channels")["channels"];
    ASSERT_EQ(channels.size(), 2u);
    ExpectFields(channels[1], R"({"index":1,"name":"Channel 2","mode":"server","state":"stopped",
                                  "position":{"tcType":"pal"}})"_json);

    const HttpAnswer play = Transport(1, R"({"action":"play","clip":"cliptwo"})");
    ASSERT_EQ(play.status, 200) << play.body;
    ExpectFields(play.JsonBody(), {{"state", "playing"}, {"clip", "cliptwo"}, {"speed", 1.0}});
    // The same channel, as the plain-text face sees it.
    EXPECT_EQ(kxrtest::Body(host_.Get("/KXRGetState?channel=1")), "Playing");

    Advance(1000);
    ExpectFields(Get("/api/v1/channels/1"),
                 {{"position", {{"frames", 25}, {"timecode", "00:00:01:00"}}}});
    ExpectFields(Transport(1, R"({"action":"shuttle","speed":-0.5})").JsonBody(),
                 {{"state", "shuttle"}, {"speed", -0.5}});
    ExpectFields(Transport(1, R"({"action":"seek","position":"00:00:02:00"})").JsonBody(),
                 {{"state", "paused"}, {"position", {{"frames", 50}}}});
    ExpectFields(
        Transport(1, R"({"action":"play","position":100,"loop":true,"speed":2})").JsonBody(),
        {{"position", {{"frames", 100}}}, {"speed", 2.0}});
    EXPECT_EQ(Transport(1, R"({"action":"stop"})").JsonBody()["state"], "stopped");
    EXPECT_EQ(Transport(0, R"({"action":"record"})").JsonBody()["state"], "recording");
    ExpectFields(Transport(0, R"({"action":"eject"})").JsonBody(),
                 {{"state", "ejected"}, {"clip", nullptr}});

    // HEAD: the GET's head, without the body.
    const HttpAnswer head = Call(Port(), "HEAD", "/api/v1/channels/1");
    EXPECT_TRUE(head.status == 200 && head.body.empty()) << head.head;
    EXPECT_EQ(head.Header("Content-Length"),
              std::to_string(Call(Port(), "GET", "/api/v1/channels/1").body.size()));
}

// The contract test sees the common refusals; these are the rest, and that
// no refused body reaches the engine.
TEST_F(RestApiHost, BadTransportRequestsGetTheirStatus) {
    Start();
    const std::string path = "/api/v1/channels/0/transport";
    ExpectProblem(Transport(0, "{\"action\":"), 400, "not JSON");
    ExpectProblem(Transport(0, R"({"action":"rewind"})"), 400, "rewind");
    ExpectProblem(Transport(0, R"({"action":"play","clip":"nosuch"})"), 404);
    ExpectProblem(Call(Port(), "POST", path, R"({"action":"play"})"), 415); // no type
    ExpectProblem(
        kxrit::CallRaw(Port(), "POST " + path +
                                   " HTTP/1.1\r\nContent-Type: application/json\r\n"
                                   "Transfer-Encoding: chunked\r\n\r\n2\r\n{}\r\n0\r\n\r\n"),
        411);
    // HEAD stands for GET, which this path has not.
    EXPECT_EQ(Call(Port(), "HEAD", path).status, 405);
    for (const char* target : {"/api/v1/channels/7", "/api/v1/", "/api/v1/channel",
                               "/api/v1/channels/", "/api/v1/channels/0/transport/x"})
        ExpectProblem(Call(Port(), "GET", target), 404);

    // The engine refuses: a position beyond the clip, play while ejected.
    ASSERT_EQ(Transport(0, R"({"action":"play","clip":"clipone"})").status, 200);
    ExpectProblem(Transport(0, R"({"action":"seek","position":1000})"), 409, "outside");
    ASSERT_EQ(Transport(0, R"({"action":"eject"})").status, 200);
    ExpectProblem(Transport(0, R"({"action":"play"})"), 409, "ejected");
    // None of the bodies refused with 400 reached the engine: its log holds
    // the question about the unknown clip and the two refusals only.
    const Json log = Get("/api/v1/errors");
    ASSERT_EQ(log["count"], 3);
    EXPECT_NE(log["errors"][0]["message"].get<std::string>().find("nosuch"), std::string::npos);
}

// With users configured the JSON face asks for a login and the endpoint's
// role, and refuses with problem documents before the endpoint runs.
TEST_F(RestApiHost, LoginsAndRolesAreCheckedBeforeTheEndpoint) {
    std::string users = "[KXR.NetServer.Users]\n";
    for (const auto& [name, role] :
         {std::pair{"viewer1", ka::Role::Viewer}, std::pair{"op", ka::Role::Operator}}) {
        ka::PasswordEntry entry;
        ASSERT_TRUE(ka::MakePasswordEntry(role, "pass", ka::kMinIterations, &entry));
        users += ka::UserConfigLine(name, entry) + "\n";
    }
    Start(users);
    // Each kind of answer once to the byte: a refusal with its challenge,
    // and a JSON document.
    const std::string challenge = R"({"type":"about:blank","title":"Unauthorized","status":401,)"
                                  R"("detail":"This server needs a user name and password."})";
    EXPECT_EQ(kxrtest::Exchange(Port(), "GET /api/v1/channels HTTP/1.1\r\n\r\n"),
              "HTTP/1.1 401 Unauthorized\r\nContent-Type: application/problem+json\r\n"
              "Content-Length: " +
                  std::to_string(challenge.size()) +
                  "\r\nCache-Control: no-store\r\nWWW-Authenticate: Basic realm=\"kxrHTTPD2\", "
                  "charset=\"UTF-8\"\r\nConnection: close\r\n\r\n" +
                  challenge);
    // Paths and methods the face does not have are not the check's business.
    ExpectProblem(Call(Port(), "GET", "/api/v1/nope"), 404);
    ExpectProblem(Call(Port(), "DELETE", "/api/v1/channels"), 405);

    const std::string viewer = "Authorization: Basic dmlld2VyMTpwYXNz\r\n"; // viewer1:pass
    const std::string json = "Content-Type: application/json\r\n";
    const std::string play = R"({"action":"play"})";
    const std::string me = R"({"user":"viewer1","role":"viewer"})";
    EXPECT_EQ(kxrtest::Exchange(Port(), "GET /api/v1/me HTTP/1.1\r\n" + viewer + "\r\n"),
              "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                  std::to_string(me.size()) +
                  "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + me);
    ExpectProblem(Call(Port(), "POST", "/api/v1/channels/1/transport", play, viewer + json), 403);
    EXPECT_EQ(Call(Port(), "GET", "/api/v1/channels/1", "", viewer).JsonBody()["state"], "stopped");
    const std::string op = "Authorization: Basic b3A6cGFzcw==\r\n"; // op:pass
    const HttpAnswer played = Call(Port(), "POST", "/api/v1/channels/1/transport", play, op + json);
    EXPECT_EQ(played.status, 200) << played.body;

    // Five wrong passwords from one address: then even the right one waits.
    for (int i = 0; i < 5; ++i)
        ExpectProblem(
            Call(Port(), "GET", "/api/v1/me", "", "Authorization: Basic b3A6d3Jvbmc=\r\n"), 401);
    const HttpAnswer throttled = Call(Port(), "GET", "/api/v1/me", "", op);
    ExpectProblem(throttled, 429);
    EXPECT_EQ(throttled.head.substr(0, 32), "HTTP/1.1 429 Too Many Requests\r\n");
    EXPECT_FALSE(throttled.Header("Retry-After").empty()) << throttled.head;
}

// The contract test lists, names and fetches clips; these are the values.
TEST_F(RestApiHost, ClipsAreListedAndNamed) {
    const fs::path accessLog = host_.Dir() / "logs" / "access.log";
    Start("", "AccessLog = '" + accessLog.string() + "'\n");
    const Json clips = Get("/api/v1/clips?channel=1")["clips"];
    ASSERT_EQ(clips.size(), 2u);
    ExpectFields(clips[0], R"({"name":"clipone","length":{"frames":250,"timecode":"00:00:10:00"},
                               "picon":"/api/v1/clips/clipone/picon?channel=1"})"_json);
    // The record directory is the root \RecordDrive.
    EXPECT_EQ(clips[1]["file"].get<std::string>().rfind("\\RecordDrive\\", 0), 0u) << clips[1];
    // A file the media library cannot read has no picture.
    ExpectProblem(Call(Port(), "GET", "/api/v1/clips/clipone/picon"), 404);

    // The access log has the status each answer went out with.
    int code = -1;
    ASSERT_TRUE(host_.Stop(10000, &code));
    const std::string lines = kxrtest::ReadFile(accessLog);
    for (const char* line : {"\"GET /api/v1/clips?channel=1 HTTP/1.1\" 200 ",
                             "\"GET /api/v1/clips/clipone/picon HTTP/1.1\" 404 "})
        EXPECT_NE(lines.find(line), std::string::npos) << line << " in " << lines;
}

TEST_F(RestApiHost, FoldersArePagedStatelesslyAndFilesDescribed) {
    const fs::path files = host_.Dir() / "files";
    for (const char* name :
         {"a.mov", "b & c.txt", "sub/x.txt", "seq0001.dpx", "seq0002.dpx", "seq0003.dpx"})
        kxrtest::WriteFile(files / name, name[0] == 'b' ? "12345" : "");
    Start("[KXR.NetServer.FileDirs]\nMedia = '" + files.string() + "'\n");

    ExpectFields(Get("/api/v1/files"), {{"locator", "\\"}, {"parent", nullptr}, {"total", 2}});

    const Json all = Get("/api/v1/files?locator=%5CMedia");
    ExpectFields(all, {{"locator", "\\Media\\"}, {"parent", "\\"}, {"total", 4}});
    std::vector<std::string> names;
    for (const Json& entry : all["entries"])
        names.push_back(entry["name"]);
    EXPECT_EQ(names, (std::vector<std::string>{"a.mov", "b & c.txt", "seq[0001-0003].dpx", "sub"}));
    ExpectFields(all["entries"][1],
                 {{"locator", "\\Media\\b & c.txt"}, {"kind", "file"}, {"size", 5}});
    ExpectFields(
        all["entries"][2],
        {{"kind", "sequence"}, {"frames", {{"first", 1}, {"last", 3}}}, {"size", nullptr}});

    // Two clients paging at once share nothing: each page stands alone.
    const Json second = Get("/api/v1/files?locator=/Media/&offset=1&limit=2");
    EXPECT_EQ(second["total"], 4);
    ASSERT_EQ(second["entries"].size(), 2u);
    EXPECT_EQ(second["entries"][0]["name"], "b & c.txt");
    EXPECT_TRUE(Get("/api/v1/files?locator=%5CMedia&offset=9")["entries"].empty());

    const Json info = Get("/api/v1/files/info?locator=%5CMedia%5Cb%20%26%20c.txt");
    ExpectFields(info, {{"name", "b & c.txt"}, {"size", 5}, {"type", nullptr}});
    EXPECT_TRUE(info["media"].empty());
    EXPECT_EQ(Get("/api/v1/files/info?locator=%5CMedia%5Cseq%5B0001-0003%5D.dpx")["kind"],
              "sequence");

    // A file as a folder, and ".." out of the root.
    const std::pair<const char*, int> refusals[] = {
        {"files?locator=%5CMedia%5Ca.mov", 404},
        {"files?locator=%5CMedia%5C..%5C..", 400},
        {"files/info?locator=%5CMedia%5C..%5Cmedia", 400},
    };
    for (const auto& [target, status] : refusals)
        ExpectProblem(Call(Port(), "GET", std::string("/api/v1/") + target), status);
}

TEST_F(RestApiHost, TheErrorLogIsAnsweredWholeOrNotAtAllSinceAStamp) {
    Start();
    ExpectFields(Get("/api/v1/errors"), {{"count", 0}, {"errors", Json::array()}});
    Advance(1000); // so that the failure below moves the log's stamp
    ASSERT_EQ(Transport(0, R"({"action":"seek","position":1000})").status, 409);
    const Json log = Get("/api/v1/errors");
    ASSERT_EQ(log["count"], 1);
    const Json& message = log["errors"][0];
    ExpectFields(message, {{"index", 0}, {"code", 2}});
    EXPECT_NE(message["message"].get<std::string>().find("outside"), std::string::npos);
    EXPECT_EQ(message["time"].get<std::string>().size(), 22u); // 2026-12-06T04:45:50.12
    const std::string since = std::to_string(log["lastChange"].get<uint32_t>());
    ExpectFields(Get("/api/v1/errors?since=" + since), {{"count", 1}, {"errors", Json::array()}});
    EXPECT_EQ(Get("/api/v1/errors?since=0")["errors"].size(), 1u);
    ExpectProblem(Call(Port(), "GET", "/api/v1/errors?since=4294967296"), 400);
}

// The next count events of a stream, and their names.
std::vector<kxrit::ServerEvent> Events(kxrit::EventReader& reader, size_t count,
                                       std::string* names) {
    std::vector<kxrit::ServerEvent> events;
    while (events.size() < count) {
        auto event = reader.Next(2000);
        EXPECT_TRUE(event) << reader.Pending();
        if (!event)
            break;
        events.push_back(*event);
        *names += (names->empty() ? "" : " ") + event->name;
    }
    return events;
}

TEST_F(RestApiHost, EventsArePushedAndResumedWithoutLoss) {
    Start();
    kxrit::EventReader first(Port());
    const std::string head = first.Head();
    EXPECT_EQ(head.find("Content-Length"), std::string::npos) << head;

    // The current state first: both channels and the error log, under one id.
    std::string names;
    const auto state = Events(first, 3, &names);
    ASSERT_EQ(names, "channel channel errors");
    EXPECT_EQ(Json({state[0].data["index"], state[1].data["index"], state[2].data["count"]}),
              Json({0, 1, 0}));
    EXPECT_EQ(state[0].id, state[2].id);

    // A change is pushed within a second.
    const auto sent = std::chrono::steady_clock::now();
    ASSERT_EQ(Transport(0, R"({"action":"play","clip":"clipone"})").status, 200);
    auto pushed = first.Next(1000);
    ASSERT_TRUE(pushed) << first.Pending();
    EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(1));
    EXPECT_EQ(pushed->name + " " + pushed->data["state"].get<std::string>(), "channel playing");
    EXPECT_EQ(pushed->id, state[0].id + 1);

    // While the clock moves the position follows, one event per sample.
    Advance(400);
    auto moved = first.Next(2000);
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->data["position"]["frames"], 10);
    EXPECT_EQ(moved->id, pushed->id + 1);

    // Missed while away: a refused seek (the channel pauses, then the seek
    // fails and the log grows), and in a later sample a stop.
    const uint64_t seen = moved->id;
    ASSERT_EQ(Transport(0, R"({"action":"seek","position":99999})").status, 409);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(Transport(0, R"({"action":"stop"})").status, 200);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    kxrit::EventReader resumed(Port(), seen);
    names.clear();
    const auto missed = Events(resumed, 3, &names);
    // A sample publishes the channels before the log.
    ASSERT_EQ(names, "channel errors channel");
    EXPECT_FALSE(resumed.Next(1000)) << "nothing more";
    for (size_t i = 0; i < missed.size(); ++i)
        EXPECT_EQ(missed[i].id, seen + 1 + i);
    EXPECT_EQ(missed[0].data["state"], "paused");
    ExpectFields(missed[1].data, {{"count", 1}, {"latest", {{"code", 2}}}});
    EXPECT_EQ(missed[2].data["state"], "stopped");
    // The first stream got the same events under the same ids.
    names.clear();
    const auto same = Events(first, 3, &names);
    for (size_t i = 0; i < same.size(); ++i)
        EXPECT_TRUE(same[i].id == missed[i].id && same[i].data == missed[i].data) << i;
}

TEST_F(RestApiHost, StreamsBeyondTheCapAreRefusedAndEndWithTheServer) {
    Start("", "MaxEventStreams = 2\n");
    kxrit::EventReader one(Port());
    kxrit::EventReader two(Port());
    ASSERT_TRUE(one.Next(5000));
    ASSERT_TRUE(two.Next(5000));
    // The contract test sees the 503.
    EXPECT_EQ(Call(Port(), "GET", "/api/v1/events").Header("Retry-After"), "5");
    // HEAD opens no stream.
    EXPECT_EQ(Call(Port(), "HEAD", "/api/v1/events").status, 200);

    const auto stopping = std::chrono::steady_clock::now();
    int code = -1;
    ASSERT_TRUE(host_.Stop(10000, &code) && code == 0) << host_.Output();
    EXPECT_TRUE(one.Ends(1000) && two.Ends(1000));
    // Well inside the 6 s the stop would wait for a stream that does not leave.
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(5));
}

TEST_F(RestApiHost, ALeftStreamGivesItsPlaceBack) {
    Start("", "MaxEventStreams = 1\n");
    {
        kxrit::EventReader gone(Port());
        ASSERT_TRUE(gone.Next(5000));
    }
    // The server notices within its check interval (1 s).
    bool again = false;
    for (int attempt = 0; attempt < 30 && !again; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        again = kxrit::EventReader(Port()).Next(2000).has_value();
    }
    EXPECT_TRUE(again);
}

} // namespace

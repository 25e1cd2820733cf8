// The text form of a media command: rows of query strings and the record the
// parser makes of them, with a client whose channel 1 counts in pal (25 fps).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "api/http_request.h"
#include "api/my_http_client.h"
#include "capturing_engine.h"
#include "media/media_cmd.h"
#include "media/timecode_names.h"

namespace {

using kxr::CHttpRequest;
using kxr::CMyHttpClient;

constexpr uint32_t F = MCF_FROMTEXT;
constexpr int32_t kUnset = -1;

struct Parsed {
    MediaCmd record;
    int32_t result;
    size_t sent;
};

class MediaQuery : public ::testing::Test {
protected:
    void SetUp() override {
        engine_.tcTypes = {{1, 8}, {3, 2}};
        client_.channel = 1;
    }

    Parsed Parse(const std::string& query) {
        CHttpRequest request;
        request.query = query;
        Parsed parsed{};
        kxr::InitMediaCmd(&parsed.record);
        engine_.sent.clear();
        parsed.result = kxr::MediaCmdFromQuery(&client_, &parsed.record, &request);
        parsed.sent = engine_.sent.size();
        return parsed;
    }

    kxrtest::CapturingEngine engine_;
    CMyHttpClient client_;
};

TEST_F(MediaQuery, ReadsWordsKeysAndPositions) {
    const struct {
        const char* query;
        uint32_t cmd;
        int32_t channel;
        uint32_t flags;
        int32_t position, start, end;
        int32_t result;
    } rows[] = {
        // Timecode counts in the client's channel's type (pal), not channel 3's.
        {"Play&channel=3&position=00:00:10:00&loop", 2, 3, 0x40 | MCF_LOOP | F, 250, kUnset, kUnset,
         1},
        {"Stop&position=-100", 0, 1, 0x80 | F, -100, kUnset, kUnset, 1},
        {"Play&position=+0x10", 2, 1, 0x80 | F, 16, kUnset, kUnset, 1},
        // The later position wins and an absolute one clears the relative bit.
        {"Play&position=-5&position=20", 2, 1, 0x40 | F, 20, kUnset, kUnset, 1},
        {"Play&position=-00:00:01:00", 2, 1, 0x80 | F, -25, kUnset, kUnset, 1},
        {"Play&position=12abc", 2, 1, 0x40 | F, 12, kUnset, kUnset, 1},
        {"Play&position=.5s", 2, 1, 0x40 | F, 15, kUnset, kUnset, 1},
        {"Play&position=nothing", 2, 1, 0x40 | F, 0, kUnset, kUnset, 1},
        {"Play&start=5&end=6", 2, 1, 0x500 | F, kUnset, 5, 6, 1},
        {"Play&start=+5&end=-3", 2, 1, 0xF00 | F, kUnset, 5, -3, 1},
        {"Play&start=-2&start=4", 2, 1, 0x300 | F, kUnset, 4, kUnset, 1},
        {"Play&END=00:00:02:00&Start=0x2", 2, 1, 0x500 | F, kUnset, 2, 50, 1},
        // Words are prefixes, tried in order; case does not matter.
        {"STOPPED", 0, 1, F, kUnset, kUnset, kUnset, 1},
        {"PlayNow", 2, 1, F, kUnset, kUnset, kUnset, 1},
        {"recstop", 4, 1, F, kUnset, kUnset, kUnset, 1},
        {"ValueGet", 14, 1, F, kUnset, kUnset, kUnset, 1},
        {"Error", 17, 1, F, kUnset, kUnset, kUnset, 1},
        {"KXRXMLMediaCmd&Pause", 1, 1, F, kUnset, kUnset, kUnset, 1},
        {"kxrxmlmediacmdAnything&&Trim", 10, 1, F, kUnset, kUnset, kUnset, 1},
        // An unknown first token is read again as a key.
        {"channel=2&Play", 17, 2, F, kUnset, kUnset, kUnset, 1},
        {"Bogus&Nothing", 17, 1, F, kUnset, kUnset, kUnset, 0},
        {"", 17, kUnset, 0, kUnset, kUnset, kUnset, 0},
        {"Play&&&channel=4&&", 2, 4, F, kUnset, kUnset, kUnset, 1},
        {"Play&channel=x", 2, 0, F, kUnset, kUnset, kUnset, 1},
        {"Play&flags=0x4000000&flags=3", 2, 1, 0x4000003 | F, kUnset, kUnset, kUnset, 1},
        {"Bogus&flags=0", 17, 1, F, kUnset, kUnset, kUnset, 1},
        // Flag words set their bits (and make the query good); some must match whole.
        {"Play&Deferred&loop&Trigger&loop&NoReturn", 2, 1,
         MCF_DEFERRED | MCF_LOOP | MCF_TRIGGER | MCF_NORETURN | F, kUnset, kUnset, kUnset, 1},
        {"Bogus&OverideDeferred", 17, 1, MCF_OVERRIDEDEFERRED | F, kUnset, kUnset, kUnset, 1},
        {"Bogus&Copy", 17, 1, MCF_NOCLIPFILES | F, kUnset, kUnset, kUnset, 1},
        {"Bogus&CopyAll", 17, 1, F, kUnset, kUnset, kUnset, 0},
        {"Bogus&Convert", 17, 1, MCF_NOTCSPACES | F, kUnset, kUnset, kUnset, 1},
        {"Bogus&Converted", 17, 1, F, kUnset, kUnset, kUnset, 0},
    };
    for (const auto& row : rows) {
        const Parsed p = Parse(row.query);
        const MediaCmd& r = p.record;
        EXPECT_EQ(std::vector<int64_t>(
                      {p.result, r.cmd, r.channel, r.flags, r.position, r.start, r.end, r.size}),
                  std::vector<int64_t>({row.result, row.cmd, row.channel, row.flags, row.position,
                                        row.start, row.end, kMediaCmdStandardSize}))
            << row.query;
    }
}

TEST_F(MediaQuery, AsksTheClientChannelsTimecodeTypeOnceAndOnlyWhenNeeded) {
    Parsed p = Parse("Play&channel=3&position=00:00:01:00&start=00:00:00:10&speed=00:00:02:00");
    ASSERT_EQ(p.sent, 1u);
    const MediaCmd& asked = engine_.sent[0].record;
    EXPECT_EQ(
        std::vector<int64_t>({engine_.sent[0].channelArgument, asked.cmd, asked.cmdAlt,
                              asked.channel, p.record.position, p.record.start, p.record.speed}),
        std::vector<int64_t>({1, kCmdGetValue, kValueTcType, -1, 25, 10, 50}));
    EXPECT_EQ(Parse("Play&position=100&start=0x10&end=.5s").sent, 0u);
}

TEST_F(MediaQuery, ReadsSpeedTimesCmdAltAndChannelMasks) {
    const struct {
        const char* query;
        uint32_t flags;
        int32_t speed;
        int32_t cmdAlt;
        uint32_t video, audio, info;
    } rows[] = {
        {"Play&speed=-65520", 0x10 | F, -65520, 0, ~0u, ~0u, ~0u},
        {"Play&timems=500", 0x10002 | F, 0x7FFFFFFF, 500, ~0u, ~0u, ~0u},
        {"Play&housems=9", 0x1000A | F, 0x7FFFFFFF, 9, ~0u, ~0u, ~0u},
        {"GetValue&cmdalt=0x1F", 0x10000 | F, 0x7FFFFFFF, 31, ~0u, ~0u, ~0u},
        {"GetValue&cmdalt=.5s", 0x10000 | F, 0x7FFFFFFF, 15, ~0u, ~0u, ~0u},
        {"Play&videochannels=0x10&audiochannels=3&infochannels=0", 0x20 | F, 0x7FFFFFFF, 0, 16, 3,
         0},
        {"Play&VideoChannels=0xFFFFFFFF0", 0x20 | F, 0x7FFFFFFF, 0, 0xFFFFFFF0u, ~0u, ~0u},
    };
    for (const auto& row : rows) {
        Parsed p = Parse(row.query);
        EXPECT_EQ(p.record.flags, row.flags) << std::hex << row.query;
        EXPECT_EQ(p.record.speed, row.speed) << row.query;
        EXPECT_EQ(p.record.cmdAlt, row.cmdAlt) << row.query;
        EXPECT_EQ(p.record.videoChannels, row.video) << row.query;
        EXPECT_EQ(p.record.audioChannels, row.audio) << row.query;
        EXPECT_EQ(p.record.infoChannels, row.info) << row.query;
    }
}

// The text area from offset 76, "|" standing for a zero byte.
TEST_F(MediaQuery, PlacesNamesAndTexts) {
    const std::pair<const char*, std::string> rows[] = {
        {"Play&clipid=ABCDEFGHIJ", "ABCDEFGH|"},
        {"Play&clipname=A%20B", "A B|"},
        {"Play&filename=a%20b.mov&targetname=c.mov", "|||||||||a b.mov|c.mov|"},
        {"Play&targetnameX%2Fy", "|||||||||| y|"},
        {"Play&clipid=CLIP&filename=f", "CLIP|||||f|"},
        {"Play&string=hello%2Fworld", "hello world|"},
        {"clockipaddress=1.2.3.4", "1.2.3.4|"},
        {"sourceipaddress=10.0.0.1", "0.0.0.0|10.0.0.1|"},
        {"Play&interfaceipaddress=i", "0.0.0.0|0.0.0.0|i|"},
        {"Play&interfaceipaddress=i&destinationipaddress=d&sourceipaddress=s", "d|s|i|"},
        {"Play&destinationipaddress=d&interfaceipaddress=i", "d|0.0.0.0|i|"},
        {"Play&sourceipaddress=1&sourceipaddress=2", "0.0.0.0|2|"},
        // Addresses are placed last, over any free text.
        {"Play&string=longer text&destinationipaddress=d", "d|nger text|"},
    };
    for (auto [query, bytes] : rows) {
        std::replace(bytes.begin(), bytes.end(), '|', '\0');
        const Parsed p = Parse(query);
        EXPECT_EQ(std::string(p.record.text, bytes.size()), bytes) << query;
        EXPECT_EQ(p.record.flags, MCF_TEXT | F) << query;
        // An address alone makes no good query.
        EXPECT_EQ(p.result, std::string(query).rfind("Play", 0) == 0 ? 1 : 0) << query;
    }
}

// Overlong values are cut to their room and never written past it; the
// record sits in a guarded buffer.
TEST_F(MediaQuery, CutsOverlongValuesToTheirRoom) {
    const std::string huge(20000, 'x');
    const std::string longName(300, 'n');
    const struct {
        std::string query;
        size_t at;       // text offset of the field
        size_t length;   // its length after the cut
        size_t secondAt; // a second text right behind, or 0
        size_t secondLength;
    } rows[] = {
        {"Play&clipid=" + huge, 0, 8, 0, 0},
        {"Play&filename=" + huge, 9, 259, 0, 0},
        {"Play&string=" + huge, 0, 259, 0, 0},
        {"Play&filename=" + longName + "&targetname=" + huge, 9, 259, 269, 259},
        {"Play&filename=%25" + longName, 9, 257, 0, 0},
        {"Play&destinationipaddress=" + huge + "&sourceipaddress=" + huge, 0, 259, 260, 259},
    };
    struct Guarded {
        uint8_t before[64];
        MediaCmd record;
        uint8_t after[64];
    };
    for (const auto& row : rows) {
        Guarded g;
        std::memset(&g, 0xA5, sizeof g);
        kxr::InitMediaCmd(&g.record);
        CHttpRequest request;
        request.query = row.query;
        EXPECT_EQ(kxr::MediaCmdFromQuery(&client_, &g.record, &request), 1);
        const std::string where = row.query.substr(0, 40);
        EXPECT_EQ(std::string(g.before, g.before + 64) + std::string(g.after, g.after + 64),
                  std::string(128, '\xA5'))
            << where;
        EXPECT_EQ(g.record.structId, static_cast<uint32_t>(kMediaCmdStructId));
        EXPECT_EQ(std::strlen(g.record.text + row.at), row.length) << where;
        if (row.secondAt != 0) {
            EXPECT_EQ(std::strlen(g.record.text + row.secondAt), row.secondLength) << where;
        }
    }
}

TEST(BlankPercentEscapes, TurnsEachEscapeIntoOneSpace) {
    const struct {
        std::string in;
        std::string out;
    } rows[] = {
        {"a%20b", "a b"},
        {"a%2Fb", "a b"},
        {"100%", "100 "},
        {"a%2", "a "},
        {"%%%%", "  "},
        {std::string(300, 'x'), std::string(259, 'x')},
        {std::string(258, 'x') + "%20", std::string(258, 'x') + " "},
        {std::string(257, 'x') + "%20tail", std::string(257, 'x') + " "},
    };
    for (const auto& row : rows) {
        std::string buffer = row.in;
        buffer.push_back('\0');
        kxr::BlankPercentEscapes(buffer.data());
        EXPECT_EQ(std::string(buffer.c_str()), row.out) << row.in.substr(0, 20);
    }
    kxr::BlankPercentEscapes(nullptr);
}

TEST(TcTypeName, NamesKnownCodesAndLeavesOthers) {
    const struct {
        uint32_t code;
        const char* text;
        int32_t result;
    } rows[] = {
        {0, "", 0},           {1, "film", 1},         {8, "pal", 1},      {128, "film-drop", 1},
        {132, "23.98", 1},    {255, "frames", 1},     {3, "prepared", 1}, {133, "prepared", 1},
        {256, "prepared", 1}, {0x108, "prepared", 1},
    };
    for (const auto& row : rows) {
        char text[kxr::kTcTypeNameRoom] = "prepared";
        EXPECT_EQ(kxr::TcTypeName(nullptr, row.code, text), row.result) << row.code;
        EXPECT_STREQ(text, row.text) << row.code;
    }
}

} // namespace

// The text form of a media command and the MediaCmd request against a slot
// that keeps every record: the record the parser makes of a query, what is
// sent, in which order and size, which value codes translate paths, and the
// answer.
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "access/containment.h"
#include "capturing_engine.h"
#include "files/file_roots.h"
#include "httpd/server_settings.h"
#include "media/media_cmd.h"
#include "media/media_cmd_request.h"
#include "platform/kxr_path.h"

namespace {

namespace fs = std::filesystem;

// The parser's result and the fields that differ from a fresh record.
std::string Describe(const MediaCmd& r, int32_t result) {
    MediaCmd f;
    kxr::InitMediaCmd(&f);
    const char* names[] = {"cmd",    "channel", "position", "start", "end", "speed",
                           "cmdalt", "video",   "audio",    "info",  "size"};
    const int64_t values[] = {r.cmd,           r.channel,      r.position, r.start,
                              r.end,           r.speed,        r.cmdAlt,   r.videoChannels,
                              r.audioChannels, r.infoChannels, r.size};
    const int64_t fresh[] = {f.cmd,           f.channel,      f.position, f.start,
                             f.end,           f.speed,        f.cmdAlt,   f.videoChannels,
                             f.audioChannels, f.infoChannels, f.size};
    char flags[24] = "";
    if (r.flags != 0)
        std::snprintf(flags, sizeof flags, " flags=0x%X", r.flags);
    std::string out = std::to_string(result) + flags;
    for (size_t i = 0; i < std::size(names); ++i)
        if (values[i] != fresh[i])
            out += std::string(" ") + names[i] + "=" + std::to_string(values[i]);
    return out;
}

// A client whose channel 1 counts in pal (25 fps).
class MediaCommand : public kxrtest::MediaTest {
protected:
    void SetUp() override {
        engine_.tcTypes = {{1, 8}, {3, 2}};
        client_.channel = 1;
    }
    // The record made of the query, the parser's result in *result.
    MediaCmd Parse(const std::string& query, int32_t* result = nullptr) {
        MediaCmd record;
        kxr::InitMediaCmd(&record);
        const int32_t rc = ParseInto(query, &record);
        if (result != nullptr)
            *result = rc;
        return record;
    }
    int32_t ParseInto(const std::string& query, MediaCmd* record) {
        kxr::CHttpRequest request;
        request.query = query;
        engine_.sent.clear();
        return kxr::MediaCmdFromQuery(&client_, record, &request);
    }
    std::string Run(const std::string& query) {
        return MediaTest::Run(kxr::HandleMediaCmdRequest, query);
    }
};

TEST_F(MediaCommand, ReadsWordsKeysAndValues) {
    const std::pair<const char*, const char*> rows[] = {
        // Timecode counts in the client's channel's type (pal), not channel 3's.
        {"Play&channel=3&position=00:00:10:00&loop",
         "1 flags=0x2400040 cmd=2 channel=3 position=250 sent 1:14/8"},
        {"Stop&position=-100", "1 flags=0x2000080 cmd=0 channel=1 position=-100"},
        // The later position wins and an absolute one clears the relative bit.
        {"Play&position=-5&position=20", "1 flags=0x2000040 cmd=2 channel=1 position=20"},
        {"Play&start=+5&end=-3", "1 flags=0x2000F00 cmd=2 channel=1 start=5 end=-3"},
        {"Play&END=00:00:02:00&Start=0x2",
         "1 flags=0x2000500 cmd=2 channel=1 start=2 end=50 sent 1:14/8"},
        // The timecode type is asked once, and only for a timecode.
        {"Play&channel=3&position=00:00:01:00&start=00:00:00:10&speed=00:00:02:00",
         "1 flags=0x2000150 cmd=2 channel=3 position=25 start=10 speed=50 sent 1:14/8"},
        {"Play&position=100&start=0x10&end=.5s",
         "1 flags=0x2000540 cmd=2 channel=1 position=100 start=16 end=15"},
        {"Play&timems=500", "1 flags=0x2010002 cmd=2 channel=1 cmdalt=500"},
        {"GetValue&cmdalt=0x1F", "1 flags=0x2010000 cmd=14 channel=1 cmdalt=31"},
        {"Play&videochannels=0x10&audiochannels=3&infochannels=0",
         "1 flags=0x2000020 cmd=2 channel=1 video=16 audio=3 info=0"},
        {"Play&VideoChannels=0xFFFFFFFF0", "1 flags=0x2000020 cmd=2 channel=1 video=4294967280"},
        // Words are prefixes, tried in order; case does not matter.
        {"STOPPED", "1 flags=0x2000000 cmd=0 channel=1"},
        {"recstop", "1 flags=0x2000000 cmd=4 channel=1"},
        // A leading KXRXMLMediaCmd token is skipped.
        {"kxrxmlmediacmdAnything&&Trim", "1 flags=0x2000000 cmd=10 channel=1"},
        // An unknown first token is read again as a key.
        {"channel=2&Play", "1 flags=0x2000000 cmd=17 channel=2"},
        {"Bogus&Nothing", "0 flags=0x2000000 cmd=17 channel=1"},
        {"", "0 cmd=17"},
        {"Play&&&channel=4&&", "1 flags=0x2000000 cmd=2 channel=4"},
        {"Play&flags=0x4000000&flags=3", "1 flags=0x6000003 cmd=2 channel=1"},
        {"Bogus&flags=0", "1 flags=0x2000000 cmd=17 channel=1"},
        // Flag words set their bits (and make the query good); some must match whole.
        {"Play&Deferred&loop&Trigger&loop&NoReturn", "1 flags=0x82C00001 cmd=2 channel=1"},
        {"Bogus&OverideDeferred", "1 flags=0x42000000 cmd=17 channel=1"},
        {"Bogus&Copy", "1 flags=0x2004000 cmd=17 channel=1"},
        {"Bogus&CopyAll", "0 flags=0x2000000 cmd=17 channel=1"},
    };
    for (const auto& [query, expected] : rows) {
        int32_t result = -1;
        const MediaCmd r = Parse(query, &result);
        EXPECT_EQ(Describe(r, result) + (engine_.sent.empty() ? "" : " sent " + Sent()), expected)
            << query;
    }
}

// The text area from offset 76, "|" standing for a zero byte.
TEST_F(MediaCommand, PlacesNamesAndTexts) {
    const std::pair<const char*, std::string> rows[] = {
        {"Play&clipid=ABCDEFGHIJ", "ABCDEFGH|"},
        {"Play&clipname=A%20B", "A B|"},
        {"Play&filename=a%20b.mov&targetname=c.mov", "|||||||||a b.mov|c.mov|"},
        {"Play&targetnameX%2Fy", "|||||||||| y|"},
        {"Play&string=hello%2Fworld", "hello world|"},
        {"Play&string=%%%%", "  |"},
        {"clockipaddress=1.2.3.4", "1.2.3.4|"},
        {"Play&interfaceipaddress=i&destinationipaddress=d&sourceipaddress=s", "d|s|i|"},
        {"Play&destinationipaddress=d&interfaceipaddress=i", "d|0.0.0.0|i|"},
        // Addresses are placed last, over any free text.
        {"Play&string=longer text&destinationipaddress=d", "d|nger text|"},
    };
    for (auto [query, bytes] : rows) {
        std::replace(bytes.begin(), bytes.end(), '|', '\0');
        int32_t result = -1;
        const MediaCmd r = Parse(query, &result);
        EXPECT_EQ(std::string(r.text, bytes.size()), bytes) << query;
        EXPECT_EQ(r.flags, MCF_TEXT | MCF_FROMTEXT) << query;
        // An address alone makes no good query.
        EXPECT_EQ(result, std::string(query).rfind("Play", 0) == 0 ? 1 : 0) << query;
    }
}

// Overlong values are cut to their room and never written past it; the
// record sits in a guarded buffer.
TEST_F(MediaCommand, CutsOverlongValuesToTheirRoom) {
    const std::string huge(20000, 'x');
    const std::string name(300, 'n');
    // The text offset and the cut length of each field the query fills.
    const std::pair<std::string, std::vector<std::pair<size_t, size_t>>> rows[] = {
        {"Play&clipid=" + huge, {{0, 8}}},
        {"Play&filename=" + huge, {{9, 259}}},
        {"Play&filename=" + name + "&targetname=" + huge, {{9, 259}, {269, 259}}},
        {"Play&filename=%25" + name, {{9, 257}}},
        {"Play&string=" + std::string(257, 'x') + "%20tail", {{0, 258}}},
        {"Play&destinationipaddress=" + huge + "&sourceipaddress=" + huge, {{0, 259}, {260, 259}}},
    };
    struct {
        uint8_t before[64];
        MediaCmd record;
        uint8_t after[64];
    } g;
    for (const auto& [query, fields] : rows) {
        std::memset(&g, 0xA5, sizeof g);
        kxr::InitMediaCmd(&g.record);
        EXPECT_EQ(ParseInto(query, &g.record), 1);
        EXPECT_EQ(std::string(g.before, g.before + 64) + std::string(g.after, g.after + 64),
                  std::string(128, '\xA5'))
            << query.substr(0, 40);
        for (const auto& [at, length] : fields)
            EXPECT_EQ(std::strlen(g.record.text + at), length) << query.substr(0, 40);
    }
}

// An attribute of a child of the answer's root, "<missing>" when there is none.
std::string Attr(const std::string& text, const char* name, const char* attribute = "Value") {
    TiXmlDocument document;
    document.Parse(text.c_str());
    EXPECT_FALSE(document.Error()) << text;
    const TiXmlElement* root = document.RootElement();
    const TiXmlElement* e = root != nullptr ? root->FirstChildElement(name) : nullptr;
    const char* v = e != nullptr ? e->Attribute(attribute) : nullptr;
    return v != nullptr ? v : "<missing>";
}

TEST_F(MediaCommand, RefusedCommandsAreNotSent) {
    // Channel 1 counts in pal, yet a refusal is shown in non-drop-frame.
    for (const char* query : {"", "Bogus", "Error&channel=0"}) {
        engine_.sent.clear();
        const std::string answer = Run(query);
        EXPECT_TRUE(engine_.sent.empty()) << query;
        EXPECT_EQ(Attr(answer, "CmdCode"), "17") << query;
        EXPECT_EQ(Attr(answer, "Position", "TcType"), "non-drop-frame") << query;
    }
}

TEST_F(MediaCommand, GetStateWithChannelValuesAsksForThemFirst) {
    engine_.reply = [](int32_t, MediaCmd* r) {
        if (r->cmd == kCmdGetValue && r->cmdAlt != kValueTcType) {
            r->position = r->cmdAlt == 1 ? 0x1 : r->cmdAlt == 3 ? 0xFF : 0x3;
        }
    };
    const std::string answer = Run("GetState&videochannels=0");
    EXPECT_EQ(Sent(), "1:14/8 1:14/1 1:14/3 1:14/5 1:12/5");
    EXPECT_EQ(Attr(answer, "Position", "TcType"), "pal");
    EXPECT_EQ(Attr(answer, "VideoChannels") + Attr(answer, "AudioChannels") +
                  Attr(answer, "InfoChannels"),
              "0x000000010x000000FF0x00000003");
    EXPECT_NE(std::stoul(Attr(answer, "Flags"), nullptr, 16) & MCF_USEFRAMECOUNT, 0u);
    engine_.sent.clear();
    EXPECT_EQ(std::stoul(Attr(Run("GetState"), "Flags"), nullptr, 16) & MCF_USEFRAMECOUNT, 0u);
    EXPECT_EQ(Sent(), "1:14/8 1:12/0");
}

TEST_F(MediaCommand, LargeRecordStatesItsSize) {
    uint32_t seenSize = 0;
    engine_.reply = [&seenSize](int32_t, MediaCmd* r) {
        if (r->cmdAlt == kValueLargeRecord) {
            seenSize = r->size;
            // The engine may fill the whole room it is told about.
            reinterpret_cast<char*>(r)[r->size - 1] = 'z';
        }
    };
    const std::pair<const char*, uint32_t> rows[] = {
        {"GetValue&cmdalt=1000007&videochannels=1000", 4188 + 5096},
        {"GetValue&cmdalt=1000007&videochannels=0", 4188 + 0x1950000},
        {"GetValue&cmdalt=1000007&videochannels=0xFFFFFFFF", 4188 + 0x1950000},
        {"GetValue&cmdalt=1000007&videochannels=1000&UsingCurrent", 4188},
    };
    for (const auto& [query, size] : rows) {
        seenSize = 0;
        const std::string answer = Run(query);
        EXPECT_EQ(seenSize, size) << query;
        EXPECT_EQ(Attr(answer, "Size"), std::to_string(size)) << query;
    }
}

class MediaCmdFiles : public MediaCommand {
protected:
    void SetUp() override {
        MediaCommand::SetUp();
        base_ = fs::temp_directory_path() /
                ("kxr_media_cmd_" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(base_ / "media");
        fs::create_directories(base_ / "www");
        rvCFGOpen(nullptr);
        std::string media = (base_ / "media").string();
        uint32_t size = 0;
        rvCFGValueString(RV_CFG_ROOT, "KXR\\NetServer\\FileDirs", "Media", media.data(), &size, 1);
        kxr::FreeFileRoots(&client_);
        kxr::LoadFileRoots(&client_);
        // Local paths end in the platform's own separator.
        local_ = (base_ / "media").string() + kxr::platform::kPathSeparator;
        savedRoot_ = kxr::httpd::GetServerSettings().documentRoot;
        docRoot_ = (base_ / "www").string() + kxr::platform::kPathSeparator;
        kxr::httpd::GetServerSettings().documentRoot = docRoot_.c_str();
        // As in the host: the document root is a root and the working directory.
        kxr::access::SetRoots(kxr::access::RootKind::Document, {docRoot_});
        previousDir_ = fs::current_path();
        fs::current_path(base_ / "www");
    }
    void TearDown() override {
        fs::current_path(previousDir_);
        kxr::access::SetRoots(kxr::access::RootKind::Document, {});
        kxr::access::SetConfinement(true);
        kxr::httpd::GetServerSettings().documentRoot = savedRoot_;
        kxr::FreeFileRoots(&client_);
        std::error_code ec;
        fs::remove_all(base_, ec);
    }

    fs::path base_;
    fs::path previousDir_;
    std::string local_;
    std::string docRoot_;
    const char* savedRoot_ = nullptr;
};

// Which value codes map the locator in the file field (else the text from
// offset 0) to a local path before the engine sees it (in), and the engine's
// local path back to a locator (out).
TEST_F(MediaCmdFiles, TranslatesPathsByValueCode) {
    const std::tuple<const char*, bool, bool, bool> rows[] = {
        {"GetValue&cmdalt=170&filename=\\Media\\a.mov", true, true, true},
        {"GetValue&cmdalt=170&filename=\\Media\\a.mov&UsingCurrent", true, false, false},
        {"ValueSupported&cmdalt=1004&string=\\Media\\a.mov", false, true, true},
        {"GetValue&cmdalt=166&string=\\Media\\a.mov&AllIDs", false, false, true},
        {"GetValue&cmdalt=166&string=\\Media\\a.mov", false, false, false},
    };
    const std::string written = local_ + "b.mov";
    for (const auto& [query, fileField, in, out] : rows) {
        const size_t at = fileField ? kMediaCmdFileNameOffset - kMediaCmdTextOffset : 0;
        std::string seen;
        engine_.reply = [&, at = at](int32_t, MediaCmd* r) {
            if (r->cmdAlt != kValueTcType) {
                seen = r->text + at;
                std::memset(r->text, 0, kMediaCmdTextSize);
                std::memcpy(r->text + at, written.c_str(), written.size());
                r->flags |= MCF_TEXT;
            }
        };
        const std::string answer = Run(query);
        EXPECT_EQ(seen, in ? local_ + "a.mov" : "\\Media\\a.mov") << query;
        EXPECT_EQ(Attr(answer, fileField ? "FileName" : "Text"), out ? "\\Media\\b.mov" : written)
            << query;
    }
}

// A file that the client names outside the roots never reaches the engine;
// the record comes back as for a name the engine cannot find. Without
// confinement every name goes through.
TEST_F(MediaCmdFiles, NamesOutsideTheRootsNeverReachTheEngine) {
    fs::create_directories(base_ / "outside");
    std::ofstream(base_ / "outside" / "x.mov") << "x";
    std::ofstream(base_ / "media" / "a.mov") << "a";
    const std::string outside = (base_ / "outside" / "x.mov").string();
    const auto commandsSent = [this] {
        return std::count_if(engine_.sent.begin(), engine_.sent.end(), [](const auto& s) {
            return s.record.cmd != kCmdGetValue || s.record.cmdAlt != kValueTcType;
        });
    };
    // Transfer by a local name, inside and outside: the HTTP confinement tests.
    const std::pair<std::string, bool> rows[] = {
        // Relative to the working directory, the document root.
        {"Transfer&filename=a.mov", true},
        {"GetValue&cmdalt=1000000&filename=\\Media\\a.mov", true},
        {"GetValue&cmdalt=1000000&filename=\\Media\\..\\outside\\x.mov", false},
        // A name that does not exist yet climbs out just the same.
        {"GetValue&cmdalt=1000000&filename=\\Media\\new\\..\\..\\outside\\y.mov", false},
        {"GetValue&cmdalt=1000000&filename=\\Media\\new.mov", true},
        // A picon name longer than a clip name is a path.
        {"GetValue&cmdalt=1000000&string=" + outside, false},
        {"ValueSupported&cmdalt=1004&string=\\Media\\..\\outside", false},
        // A value on the current clip uses no name.
        {"GetValue&cmdalt=1000000&string=" + outside + "&UsingCurrent", true},
    };
    for (const auto& [query, sent] : rows) {
        engine_.sent.clear();
        const std::string answer = Run(query);
        EXPECT_EQ(commandsSent(), sent ? 1 : 0) << query;
        if (!sent) {
            EXPECT_EQ(Attr(answer, "Position") + Attr(answer, "Start") + Attr(answer, "End"),
                      "-1-1-1")
                << query;
        }
    }

    engine_.sent.clear();
    EXPECT_EQ(MediaTest::Run(kxr::HandleMediaPreviewRequest, "GetState&filename=" + outside), "");
    EXPECT_EQ(engine_.sent.size(), 0u);

    kxr::access::SetConfinement(false);
    engine_.sent.clear();
    Run("Transfer&filename=" + outside);
    EXPECT_EQ(commandsSent(), 1);
}

// The event log is copied from where the engine names it; a text that the
// engine left as the client sent it is copied only from within the roots.
TEST_F(MediaCmdFiles, EventLogCopiesNoFileTheClientNamedOutside) {
    fs::create_directories(base_ / "outside");
    std::ofstream(base_ / "outside" / "secret.txt") << "secret";
    std::ofstream(base_ / "media" / "shared.txt") << "shared";
    const fs::path copy = base_ / "www" / "eventlog.csv";
    const std::pair<fs::path, const char*> rows[] = {
        {base_ / "outside" / "secret.txt", nullptr},
        {base_ / "media" / "shared.txt", "shared"},
    };
    for (const auto& [named, copied] : rows) {
        fs::remove(copy);
        Run("GetValue&cmdalt=10100&string=" + named.string());
        std::ifstream in(copy);
        EXPECT_EQ(in.is_open(), copied != nullptr) << named;
        if (copied != nullptr) {
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), copied);
        }
    }
}

TEST_F(MediaCommand, PreviewAnswersTheBytesTheEngineWrote) {
    // What the engine leaves in size, and the answer's length.
    const std::pair<uint32_t, size_t> rows[] = {{76 + 5, 5}, {76, 0}, {10, 0}};
    for (const auto& [size, length] : rows) {
        uint32_t sentSize = 0;
        engine_.reply = [&, size = size](int32_t, MediaCmd* r) {
            sentSize = r->size;
            std::memcpy(r->text, "\xFF\xD8\0\x01\x02", 5);
            r->size = size;
        };
        EXPECT_EQ(MediaTest::Run(kxr::HandleMediaPreviewRequest, "GetState&channel=0"),
                  std::string("\xFF\xD8\0\x01\x02", 5).substr(0, length));
        EXPECT_EQ(sentSize, 0x21C0000u + 0x109Cu);
    }
}

} // namespace

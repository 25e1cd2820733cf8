// The engine library loaded as the module loads it: by path, then every
// function bound by its ordinal.
#include "kxr/engine.h"
#include "kxr/rvutil.h"
#include "platform/kxr_dynlib.h"
#include "tests/support/media_tool.h"
#include "tests/support/net_test_util.h"
#ifndef _WIN32
#include "tests/support/fifo.h"
#endif

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;

using ReloadFn = int32_t (*)(void);
using AdvanceFn = int32_t (*)(uint32_t);

// Every ordinal, in the order of the table's slots.
// clang-format off
const unsigned kOrdinals[] = {
    kOrdGetChannelCount, kOrdGetInternalChannelCount, kOrdGetChannelName,
    kOrdGetChannelType, kOrdPlay, kOrdPlayAtSpeed, kOrdLoadClip, kOrdPause, kOrdSeek,
    kOrdSeekRelative, kOrdStop, kOrdRecord, kOrdRecordStop, kOrdEject, kOrdMediaCmd,
    kOrdRefreshStatus, kOrdGetSpeed, kOrdGetFrame, kOrdGetCurrentClip, kOrdGetPositionText,
    kOrdGetStateText, kOrdGetNextClip, kOrdGetClipInfo, kOrdTimelineRewind, kOrdTimelineNext,
    kOrdGetLastChangeXferMs, kOrdGetLastChangeMs, kOrdGetSetting, kOrdGetMode, kOrdSetMode,
    kOrdGetTcType, kOrdGetChannelMasks, kOrdGetAudioInput, kOrdGetAudioInLevel, kOrdGetAudioOutput,
    kOrdGetAudioOutLevel, kOrdGetVideoInput, kOrdGetVideoOutput, kOrdGetSetupA, kOrdGetVideoLevelA,
    kOrdGetHueA, kOrdGetChromaA, kOrdGetSetupB, kOrdGetVideoLevelB, kOrdGetHueB, kOrdGetChromaB,
    kOrdGetReference, kOrdGetErrorLogMs, kOrdSetErrorLog, kOrdErrorLogCount, kOrdErrorLogLength,
    kOrdErrorLogRead, kOrdGetStorageFree, kOrdGetRevisionText, kOrdGetMediaRevisionText,
    kOrdGetSystemText, kOrdFreeText};
// clang-format on
static_assert(sizeof(EngineTable) == sizeof kOrdinals / sizeof(unsigned) * sizeof(void*));

namespace plat = kxr::platform;

class Engine : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        lib_ = plat::LoadSharedLibrary(KXR_ENGINE_LIBRARY);
        ASSERT_NE(lib_, nullptr) << plat::SharedLibraryError();
#ifdef _WIN32
        // Every function by ordinal alone (kxrengine.def), the test hooks too.
        ASSERT_EQ(plat::SharedLibrarySymbol(lib_, KXR_ENGINE_RESOLVER_NAME), nullptr);
        reload_ = reinterpret_cast<ReloadFn>(plat::SharedLibraryOrdinal(lib_, 900));
        advance_ = reinterpret_cast<AdvanceFn>(plat::SharedLibraryOrdinal(lib_, 901));
#else
        // The one named resolver, and the test hooks by name.
        resolve_ = reinterpret_cast<EngineProcByOrdinalFn>(
            plat::SharedLibrarySymbol(lib_, KXR_ENGINE_RESOLVER_NAME));
        ASSERT_NE(resolve_, nullptr);
        reload_ = reinterpret_cast<ReloadFn>(plat::SharedLibrarySymbol(lib_, "kxrEngineReload"));
        advance_ =
            reinterpret_cast<AdvanceFn>(plat::SharedLibrarySymbol(lib_, "kxrEngineAdvanceClock"));
#endif
        ASSERT_TRUE(reload_ != nullptr && advance_ != nullptr);
        for (size_t i = 0; i < std::size(kOrdinals); ++i) {
            void* fn = Proc(kOrdinals[i]);
            std::memcpy(reinterpret_cast<char*>(&table_) + i * sizeof fn, &fn, sizeof fn);
        }

        root_ = fs::temp_directory_path() /
                ("kxrengine_test_" +
                 std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        const std::string rec = (root_ / "rec").string();
        const std::string ext = (root_ / "other" / "ext.mov").string();
        fs::create_directories(root_ / "other");
        fs::create_directories(root_ / "logs");
        ASSERT_TRUE(kxrtest::WriteFile(rec + "/notes.txt", "not media"));
        // 2 s at 25 frames: 50 frames; a 3-frame DPX sequence; a file that is not media.
        ASSERT_EQ(kxrtest::MakeMedia({"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-t",
                                      "2", "-c:v", "mjpeg", "-q:v", "5"},
                                     root_ / "rec" / "ramp.mov"),
                  "");
        ASSERT_EQ(kxrtest::MakeMedia({"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25",
                                      "-frames:v", "3", "-start_number", "1"},
                                     root_ / "rec" / "seq%04d.dpx"),
                  "");
        ASSERT_EQ(kxrtest::MakeMedia({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25", "-t",
                                      "1", "-c:v", "mjpeg"},
                                     ext),
                  "");
        fs::copy_file(rec + "/ramp.mov", rec + "/longclipname_a.mov");
        fs::copy_file(rec + "/ramp.mov", rec + "/longclipname_b.mov");

        // Paths in literal TOML strings: a Windows path keeps its backslashes.
        config_ = (root_ / "engine.toml").string();
        ASSERT_TRUE(kxrtest::WriteFile(
            config_,
            "[KXR.Internal0]\nDir = '" + rec +
                "'\n\n[KXR.Engine]\nChannels = 2\nInternalChannels = 1\nDeterministic = 1\n"
                "LogDir = '" +
                (root_ / "logs").string() +
                "'\n\n[KXR.Engine.Channel0]\nName = \"Play A\"\nTcType = "
                "8\n\n[KXR.Engine.Channel1]\nName = \"Rec B\"\nTcType = 2\n"
                "Mode = 1\nType = 2\n\n[KXR.Engine.Clips]\nExt = '" +
                ext + "'\nMissing = '" + (root_ / "other" / "gone.mov").string() + "'\n"));
    }

    static void TearDownTestSuite() {
        rvCFGOpen((root_ / "absent.toml").string().c_str());
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    void SetUp() override {
        ASSERT_EQ(rvCFGOpen(config_.c_str()), 0);
        ASSERT_EQ(reload_(), 0);
        e_ = table_;
    }

    static MediaCmd Record(uint32_t cmd, int32_t channel) {
        MediaCmd r{};
        r.structId = static_cast<uint32_t>(kMediaCmdStructId);
        r.size = kMediaCmdStandardSize;
        r.channel = channel;
        r.cmd = cmd;
        r.speed = 0x7FFFFFFF;
        r.videoChannels = r.audioChannels = r.infoChannels = 0xFFFFFFFFu;
        r.position = r.start = r.end = -1;
        return r;
    }

    static MediaCmd Value(uint32_t cmd, int32_t code, int32_t channel) {
        MediaCmd r = Record(cmd, channel);
        r.cmdAlt = code;
        r.flags = MCF_CMDALT;
        return r;
    }

    template <typename Fn> static std::string Text(Fn fn, int32_t ch) {
        char text[kEngineShortTextSize] = {};
        fn(ch, text);
        return text;
    }
    // The state word, frame, speed and position text.
    std::string Transport(int32_t ch) {
        return Text(e_.getStateText, ch) + " " + std::to_string(e_.getFrame(ch)) + " " +
               std::to_string(e_.getSpeed(ch)) + " " + Text(e_.getPositionText, ch);
    }

    uint32_t ErrorCount() {
        uint32_t count = 0;
        e_.errorLogCount(&count);
        return count;
    }

    // The newest message: code and text.
    std::pair<int32_t, std::string> LastError() {
        uint32_t index = ErrorCount() - 1, length = 0;
        e_.errorLogLength(&index, &length);
        std::string text(length + 1, '\0');
        int32_t code = 0;
        uint16_t t[7] = {};
        e_.errorLogRead(&index, &code, text.data(), &t[0], &t[1], &t[2], &t[3], &t[4], &t[5],
                        &t[6]);
        text.resize(length);
        return {code, text};
    }

    std::vector<std::string> ClipNames(int32_t ch) {
        std::vector<std::string> names;
        char name[kEngineClipNameSize] = "        ";
        for (e_.getNextClip(ch, name); name[0] != '\0' && names.size() < 100;
             e_.getNextClip(ch, name))
            names.emplace_back(name);
        return names;
    }

    // The function with the ordinal, as the module binds it: through the
    // resolver on POSIX, from the export table on Windows.
    static void* Proc(unsigned ordinal) {
        return resolve_ != nullptr ? resolve_(ordinal) : plat::SharedLibraryOrdinal(lib_, ordinal);
    }

    static inline void* lib_ = nullptr;
    static inline EngineProcByOrdinalFn resolve_ = nullptr;
    static inline ReloadFn reload_ = nullptr;
    static inline AdvanceFn advance_ = nullptr;
    static inline EngineTable table_{};
    static inline fs::path root_;
    static inline std::string config_;
    EngineTable e_{};
};

TEST_F(Engine, EveryOrdinalAndNoOther) {
    for (unsigned ordinal : kOrdinals)
        EXPECT_NE(Proc(ordinal), nullptr) << "ordinal " << ordinal;
    for (unsigned unknown : {0u, 1u, 11u, 12u, 79u, 127u, 129u, 1000u})
        EXPECT_EQ(Proc(unknown), nullptr) << "ordinal " << unknown;
    // No engine function is visible by name.
    EXPECT_EQ(plat::SharedLibrarySymbol(lib_, "EnginePlay"), nullptr);
}

TEST_F(Engine, ConfiguredChannelsAndDefaultsWithoutConfiguration) {
    EXPECT_EQ(std::make_tuple(e_.getChannelCount(), e_.getInternalChannelCount(),
                              e_.getChannelType(1), e_.getMode(1), e_.getTcType(1)),
              std::make_tuple(2u, 1u, 2, 1, 2u));
    char name[kEngineNameSize];
    e_.getChannelName(1, name);
    EXPECT_STREQ(name, "Rec B");

    ASSERT_EQ(rvCFGOpen((root_ / "absent.toml").string().c_str()), 0);
    reload_();
    // Default names, timecode type and state: the HTTP tests, whose host names no channel.
    EXPECT_EQ(e_.getChannelCount(), 4u);
    // The real clock: a test cannot move it.
    EXPECT_EQ(advance_(1000), -1);
}

TEST_F(Engine, TransportFollowsTheClock) {
    ASSERT_EQ(e_.loadClip(0, "ramp", 0), 0);
    // Cue, play, pause, seek, shuttle and reverse at whole speeds: the HTTP
    // tests. Here the speeds that count frames in fractions (0: play, 1: stop), and the end.
    const std::tuple<int32_t, uint32_t, const char*> steps[] = {
        {131040, 400, "Shuttle 20 131040 00:00:00:20"},
        {32760, 400, "Shuttle 25 32760 00:00:01:00"},
        {-65520, 200, "Reverse 20 -65520 00:00:00:20"},
        {1, 1000, "Stopped 20 0 00:00:00:20"},
        {0, 5000, "Stopped 49 0 00:00:01:24"}};
    for (const auto& [speed, advanceMs, transport] : steps) {
        ASSERT_EQ(speed == 0   ? e_.play(0)
                  : speed == 1 ? e_.stop(0)
                               : e_.playAtSpeed(0, speed, ~0u),
                  0);
        ASSERT_EQ(advance_(advanceMs), 0);
        EXPECT_EQ(Transport(0), transport);
    }
    EXPECT_EQ(ErrorCount(), 0u);
}

TEST_F(Engine, FailedOperationsAreLogged) {
    ASSERT_EQ(e_.loadClip(0, "ramp", 0), 0);
    EXPECT_EQ(e_.seek(0, 50), -1); // past the end
    EXPECT_EQ(std::make_pair(ErrorCount(), LastError().first), std::make_pair(1u, 2));
    EXPECT_NE(LastError().second.find("outside"), std::string::npos) << LastError().second;
    EXPECT_EQ(e_.play(7), -1);
    EXPECT_EQ(std::make_pair(ErrorCount(), LastError().first), std::make_pair(2u, 3));
    EXPECT_NE(LastError().second.find("channel 7"), std::string::npos) << LastError().second;
    EXPECT_EQ(e_.getFrame(0), 0); // the failed seek left the position alone
    // Queries about a channel that does not exist answer neutrally and log nothing.
    const uint32_t before = ErrorCount();
    EXPECT_EQ(Transport(9), " 0 0 ");
    EXPECT_EQ(e_.getAudioInLevel(9), 0xFFFFFFFFu);
    EXPECT_EQ(ErrorCount(), before);
}

TEST_F(Engine, ErrorLogReadsClearsStopsAndSaves) {
    EXPECT_EQ(ErrorCount(), 0u);
    e_.loadClip(0, "one", 0);
    e_.loadClip(0, "two", 0);
    ASSERT_EQ(ErrorCount(), 2u);

    // Reading and counting: the HTTP ErrorMsg tests. Past the end there is nothing.
    uint32_t index = 2, length = 9;
    EXPECT_NE(e_.errorLogLength(&index, &length), 0);
    EXPECT_EQ(length, 0u);

    // Saved by value code, which names the file.
    MediaCmd r = Value(kCmdSetValue, kValueErrorLogSave, 0);
    r.position = 4;
    ASSERT_EQ(e_.mediaCmd(0, &r), 0);
    EXPECT_EQ(fs::path(r.text).parent_path(), root_ / "logs");
    const std::string contents = kxrtest::ReadFile(r.text);
    EXPECT_NE(contents.find("two"), std::string::npos);
    EXPECT_EQ(contents.rfind("Index,Code,Time,Message", 0), 0u);

    EXPECT_EQ(e_.setErrorLog(ENGINE_ERRORLOG_STOP), 0);
    e_.loadClip(0, "three", 0);
    EXPECT_EQ(ErrorCount(), 2u);
    EXPECT_EQ(e_.setErrorLog(ENGINE_ERRORLOG_START), 0);
    EXPECT_EQ(e_.setErrorLog(ENGINE_ERRORLOG_CLEAR), 0);
    EXPECT_EQ(ErrorCount(), 0u);
}

TEST_F(Engine, ClipListNamesAndLengths) {
    const std::vector<std::string> expected = {"Ext",      "Missing", "longclip",
                                               "longcli1", "ramp",    "seq"};
    EXPECT_EQ(ClipNames(0), expected);

    // An unreadable file counts as 10 seconds at 25 frames (movies: the HTTP ClipInfo test).
    const std::tuple<const char*, int32_t, std::string> cases[] = {
        {"Missing", 250, "gone.mov"},
        {"seq", 3, "seq*.dpx"},
        {"longcli1", 50, "longclipname_b.mov"}};
    for (const auto& [name, length, fileTail] : cases) {
        SCOPED_TRACE(name);
        int32_t in = -5, out = -5;
        uint32_t x1 = 0, x2 = 0, x3 = 0;
        char file[kEngineNameSize] = {};
        ASSERT_EQ(e_.getClipInfo(0, name, &in, &out, &x1, &x2, &x3, file), 0);
        EXPECT_EQ(std::make_pair(in, out), std::make_pair(0, length));
        EXPECT_EQ(fs::path(file).filename(), fileTail);
    }
    // The unreadable clip follows the channel's rate: 30 frames a second on channel 1.
    int32_t in = 0, out = 0;
    ASSERT_EQ(e_.getClipInfo(1, "Missing", &in, &out, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(out, 300);
}

// The timeline lays the clips end to end: 0 Ext (25 frames), 25 Missing
// (250), then three clips of 50 and seq at 425 (3); its entries: the HTTP
// EDLState test.
TEST_F(Engine, TimelineLaysClipsEndToEnd) {
    // Without a loaded clip the channel runs over the timeline.
    ASSERT_EQ(e_.seek(0, 427), 0);
    EXPECT_EQ(Text(e_.getCurrentClip, 0), "seq");
    ASSERT_EQ(e_.seek(0, 24), 0);
    EXPECT_EQ(Text(e_.getCurrentClip, 0), "Ext");
    EXPECT_EQ(e_.seek(0, 428), -1);
}

TEST_F(Engine, RecordingMakesAClip) {
    const uint32_t xfer = e_.getLastChangeXferMs(1);
    ASSERT_EQ(e_.record(1), 0);
    advance_(2000);
    EXPECT_EQ(Transport(1), "Recording 60 65520 00:00:02:00"); // channel 1 runs at 30 frames
    ASSERT_EQ(e_.recordStop(1, "=take1", 0xFFFFFFFFu), 0);
    EXPECT_EQ(Text(e_.getCurrentClip, 1), "take1");
    EXPECT_EQ(e_.getLastChangeXferMs(1), xfer + 2000);
    const auto names = ClipNames(1);
    EXPECT_EQ(names.back(), "take1");
    int32_t in = 0, out = 0;
    ASSERT_EQ(e_.getClipInfo(1, "take1", &in, &out, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(out, 60);
    // Recorded on channel 1 only.
    EXPECT_EQ(ClipNames(0).size() + 1, names.size());
}

TEST_F(Engine, PiconsAreMadeBesideTheMedia) {
    // The sequence by its timeline position, as a VTR channel asks; clips by
    // name, and a clip without a picture, are asked in the HTTP tests.
    MediaCmd r = Value(kCmdGetValue, kValuePicon, 0);
    r.flags = 0x10040;
    r.position = 426;
    ASSERT_EQ(e_.mediaCmd(0, &r), 0);
    EXPECT_EQ(fs::path(r.text), root_ / "rec" / "seq.picon.jpg");
    int width = 0, height = 0;
    ASSERT_TRUE(kxrtest::JpegSize(kxrtest::ReadFile(r.text), &width, &height));
    EXPECT_EQ(width, 64);
    // The thumbnail is not a clip of its own.
    EXPECT_EQ(ClipNames(0).size(), 6u);
}

#ifndef _WIN32
// A FIFO named like a movie: its thumbnail is refused at once, never waited for.
TEST_F(Engine, NoPiconOfAFifo) {
    const kxrtest::Fifo fifo((root_ / "live.mov").string());
    ASSERT_TRUE(fifo.Made());
    MediaCmd r = Value(kCmdGetValue, kValuePicon, 0);
    r.flags = 0x12000;
    ASSERT_LT(fifo.Path().size(), sizeof r.text);
    fifo.Path().copy(r.text, fifo.Path().size());
    int32_t result = 0;
    EXPECT_TRUE(fifo.ReturnsPromptly([&] { result = e_.mediaCmd(0, &r); }));
    EXPECT_EQ(result, -1);
    EXPECT_FALSE(fs::exists(root_ / "live.picon.jpg"));
}
#endif

TEST_F(Engine, PreviewIsAJpegWithinTheRecord) {
    // A record of the standard size: the picture is halved until it fits.
    // (The module's large record: the HTTP tests' previews.)
    ASSERT_EQ(e_.loadClip(0, "ramp", 0), 0);
    const size_t total = kMediaCmdTextOffset + kMediaCmdTextSize;
    std::vector<unsigned char> block(total + 64, 0xEE);
    MediaCmd head = Record(kCmdError, 0);
    head.flags = MCF_PREVIEW;
    head.size = static_cast<uint32_t>(total);
    std::memcpy(block.data(), &head, kMediaCmdTextOffset);
    auto* r = reinterpret_cast<MediaCmd*>(block.data());
    e_.mediaCmd(0, r);
    ASSERT_GT(r->size, static_cast<uint32_t>(kMediaCmdTextOffset));
    ASSERT_LE(r->size, total);
    const std::string jpeg(block.begin() + kMediaCmdTextOffset, block.begin() + r->size);
    int width = 0, height = 0;
    EXPECT_TRUE(kxrtest::JpegSize(jpeg, &width, &height));
    EXPECT_EQ(std::vector<unsigned char>(block.begin() + total, block.end()),
              std::vector<unsigned char>(64, 0xEE))
        << "written past the record";
    // Nothing under the head: the size says that nothing was written.
    ASSERT_EQ(e_.eject(0), 0);
    MediaCmd none = Record(kCmdError, 0);
    none.flags = MCF_PREVIEW;
    e_.mediaCmd(0, &none);
    EXPECT_EQ(none.size, static_cast<uint32_t>(kMediaCmdTextOffset));
}

TEST_F(Engine, LargeRecordGetsAFrameThatFits) {
    ASSERT_EQ(e_.loadClip(0, "ramp", 0), 0);
    const uint32_t stated = kMediaCmdStandardSize + 5096;
    std::vector<unsigned char> block(stated + 32, 0xEE);
    MediaCmd head = Value(kCmdGetValue, kValueLargeRecord, 0);
    head.size = stated;
    std::memcpy(block.data(), &head, sizeof head);
    auto* r = reinterpret_cast<MediaCmd*>(block.data());
    ASSERT_EQ(e_.mediaCmd(0, r), 0);
    EXPECT_EQ(r->position, r->start * r->end * 3);
    EXPECT_LE(r->size, stated);
    EXPECT_NEAR(static_cast<double>(r->start) / r->end, 320.0 / 240.0, 0.1);
    EXPECT_EQ(std::vector<unsigned char>(block.begin() + stated, block.end()),
              std::vector<unsigned char>(32, 0xEE))
        << "written past the record";
}

TEST_F(Engine, ManyThreadsSeeOneConsistentChannel) {
    ASSERT_EQ(e_.loadClip(0, "ramp", 0), 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < 200; ++i) {
                if (t == 0) {
                    e_.play(0);
                    advance_(1);
                    e_.pause(0);
                } else {
                    EXPECT_LT(static_cast<uint32_t>(e_.getFrame(0)), 50u);
                    Text(e_.getStateText, 0);
                    MediaCmd r = Record(kCmdGetState, 0);
                    e_.mediaCmd(0, &r);
                }
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(Text(e_.getStateText, 0), "Paused");
    EXPECT_EQ(ErrorCount(), 0u);
}

} // namespace

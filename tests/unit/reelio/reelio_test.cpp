// Reelio through its exported operations, on media files the ffmpeg tool
// makes at first use: a file of every type, what does not open, and the
// type table's flags.
#include "kxr/reelio.h"

#include "reelio_types.h"
#include "test_bytes.h"
#ifndef _WIN32
#include "tests/support/fifo.h"
#endif
#include "tests/support/media_tool.h"
#include "tests/support/net_test_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <tuple>

namespace {

namespace fs = std::filesystem;
using namespace reelio_test;

fs::path gDir;

std::string In(const char* name) {
    return (gDir / name).string();
}

void Save(const std::string& path, const Bytes& bytes) {
    kxrtest::WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

using Options = std::vector<std::string>;

Options Join(std::initializer_list<Options> parts) {
    Options out;
    for (const Options& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// Every file the tests open, one or more of each type of the table; empty
// when all were made, else what failed.
std::string MakeFiles() {
    const Options small = {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=24:duration=1"};
    const Options tone = {"-f", "lavfi", "-i", "sine=sample_rate=48000:duration=1"};
    const Options still = {"-f", "lavfi", "-i", "testsrc=size=64x48", "-frames:v", "1"};
    const std::pair<const char*, Options> files[] = {
        {"clip.mov", Join({small, tone, {"-ac", "2", "-c:v", "mpeg4", "-c:a", "pcm_s16le"}})},
        {"tone.wav",
         {"-f", "lavfi", "-i", "sine=sample_rate=44100:duration=1", "-ac", "2", "-c:a",
          "pcm_s24le"}},
        {"tone.aiff", Join({tone, {"-ac", "2"}})},
        {"shot%04d.dpx", Join({still, {"-pix_fmt", "rgb24"}})},
        {"clip.mp4", Join({small, tone, {"-c:v", "mpeg4", "-c:a", "aac"}})},
        {"clip.mkv", Join({small, tone, {"-c:v", "mpeg4", "-c:a", "pcm_s16le"}})},
        {"clip.avi", Join({small, tone, {"-c:v", "mpeg4", "-c:a", "pcm_s16le"}})},
        {"clip.mxf", Join({small, tone, {"-c:v", "mpeg2video", "-c:a", "pcm_s16le"}})},
        {"still.png", still},
        {"still.jpg", still},
        {"still.tif", still},
        {"still.bmp", still},
        {"still.tga", still},
    };
    for (const auto& [name, options] : files) {
        const std::string failure = kxrtest::MakeMedia(options, gDir / name);
        if (!failure.empty())
            return std::string(name) + ": " + failure;
    }
    Save(In("still.exr"), ExrImage(64, 48));
    return std::string();
}

// Made on first use, so tests that need no media do not wait for the tool.
const std::string& MediaFailure() {
    static const std::string failure = MakeFiles();
    return failure;
}

class TempDir : public testing::Environment {
public:
    void SetUp() override {
        std::random_device random;
        gDir = fs::temp_directory_path() / ("reelio-test-" + std::to_string(random()));
        fs::create_directories(gDir);
        kxrtest::WriteFile(In("notes.txt"),
                           "Meeting notes: nothing here is a picture or a sound.\n");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(gDir, ignored);
    }
};

const testing::Environment* const gMedia = testing::AddGlobalTestEnvironment(new TempDir);

#define REQUIRE_MEDIA() ASSERT_EQ(MediaFailure(), "") << "the test media could not be made"

// The records as the module presets them before asking.
struct Records {
    RLPictureInfo picture;
    RLStreamInfo stream;
    RLSoundInfo sound;
    RLMetadata meta;
    RLChannelCounts counts{99, 99, 99};
    Records() {
        std::memset(this, 0, sizeof *this);
        counts = {99, 99, 99};
        for (uint32_t& n : meta.numbers)
            n = RL_UNKNOWN;
        meta.numbers[kRLTimeCode] = meta.numbers[kRLVITCTimeCode] = meta.numbers[kRLPosterFrame] =
            0;
    }
};

// An open file, closed when the test ends.
struct Opened {
    RLHANDLE handle;
    explicit Opened(const std::string& path)
        : handle(rlOpen(path.c_str(), 0x80000000u, 1, nullptr, 3, 128, nullptr)) {}
    ~Opened() {
        if (handle != nullptr)
            rlClose(&handle);
    }
    Records Read(uint32_t stream = RL_UNKNOWN) { // with the channel counts
        Records r;
        EXPECT_EQ(rlGetFileInfo(&handle, stream, &r.picture, &r.stream, &r.sound, &r.meta), 0);
        EXPECT_EQ(rlChannels(&handle, 0, &r.counts, 0), 0);
        return r;
    }
};

// Every extension of the type table on a file of its type: the FFmpeg the
// build links (on Windows our own, which has only what the table needs)
// reads each one, with its decoder where only a decoded picture gives the size.
TEST(Reelio, EveryExtensionOfTheTypeTable) {
    REQUIRE_MEDIA();
    // Per type: a file, its width (0: sound alone) and its sound streams.
    const std::map<uint32_t, std::tuple<const char*, int32_t, uint32_t>> samples = {
        {kRLTypeDPX, {"shot0001.dpx", 64, 0}}, {kRLTypeTIFF, {"still.tif", 64, 0}},
        {kRLTypePNG, {"still.png", 64, 0}},    {kRLTypeJPEG, {"still.jpg", 64, 0}},
        {kRLTypeBMP, {"still.bmp", 64, 0}},    {kRLTypeTGA, {"still.tga", 64, 0}},
        {kRLTypeEXR, {"still.exr", 64, 0}},    {kRLTypeMOV, {"clip.mov", 160, 1}},
        {kRLTypeMP4, {"clip.mp4", 160, 1}},    {kRLTypeMXF, {"clip.mxf", 160, 1}},
        {kRLTypeAVI, {"clip.avi", 160, 1}},    {kRLTypeMKV, {"clip.mkv", 160, 1}},
        {kRLTypeWAV, {"tone.wav", 0, 1}},      {kRLTypeAIFF, {"tone.aiff", 0, 1}}};
    EXPECT_EQ(samples.size(), reelio::FileTypes().size()) << "a type of the table has no sample";
    for (const reelio::ExtensionEntry& entry : reelio::FileExtensions()) {
        SCOPED_TRACE(entry.extension);
        const auto sample = samples.find(entry.code);
        ASSERT_NE(sample, samples.end());
        const auto& [name, width, audio] = sample->second;
        const fs::path copy = gDir / (std::string("sample.") + entry.extension);
        fs::copy_file(In(name), copy, fs::copy_options::overwrite_existing);
        Opened file(copy.string());
        ASSERT_NE(file.handle, nullptr);
        const Records r = file.Read();
        EXPECT_EQ(r.stream.fileType, entry.code);
        EXPECT_EQ(std::make_pair(r.stream.width, r.counts.audio), std::make_pair(width, audio));
    }
}

TEST(Reelio, WhatDoesNotOpen) {
    EXPECT_EQ(rlGuessFileType(In("notes.txt").c_str(), 0), RL_UNKNOWN);
    EXPECT_EQ(rlGuessFileType(nullptr, 0), RL_UNKNOWN);
    EXPECT_EQ(rlGuessFileType(In("missing.mov").c_str(), 0), static_cast<uint32_t>(kRLTypeMOV))
        << "an unreadable file is guessed by its name";
    fs::copy_file(In("notes.txt"), In("notes.mov"), fs::copy_options::overwrite_existing);
    for (const std::string& path :
         {In("notes.txt"), In("notes.mov"), In("missing.mov"), gDir.string(), std::string()})
        EXPECT_EQ(Opened(path).handle, nullptr) << path;
    EXPECT_EQ(rlOpen(nullptr, 0x80000000u, 1, nullptr, 3, 128, nullptr), nullptr);
    Records r; // no handle, an empty one, one Reelio never made
    int notAHandle = 0;
    RLHANDLE none = nullptr, foreign = &notAHandle;
    for (RLHANDLE* handle : {static_cast<RLHANDLE*>(nullptr), &none, &foreign}) {
        EXPECT_EQ(rlGetFileInfo(handle, RL_UNKNOWN, nullptr, &r.stream, nullptr, nullptr), -1);
        EXPECT_EQ(rlChannels(handle, 0, &r.counts, 0), -1);
        EXPECT_EQ(rlClose(handle), -1);
    }
    EXPECT_EQ(foreign, nullptr);
    // A closed handle is refused, through any copy of it.
    Bytes wave = WaveStart();
    AppendChunk(wave, "fmt ", FmtBody(1, 2, 48000, 16), 16);
    AppendChunk(wave, "data", Bytes(400, 0), 400);
    Save(In("made.wav"), wave);
    Opened made(In("made.wav"));
    ASSERT_NE(made.handle, nullptr);
    EXPECT_EQ(rlChannels(&made.handle, 0, nullptr, 0), -1);
    RLHANDLE copy = made.handle;
    EXPECT_EQ(rlClose(&made.handle), 0);
    EXPECT_EQ(rlGetFileInfo(&copy, RL_UNKNOWN, nullptr, &r.stream, nullptr, nullptr), -1);
    EXPECT_EQ(rlClose(&copy), -1);
}

#ifndef _WIN32
// A FIFO nobody writes to: neither the guess nor the open waits for a writer.
TEST(Reelio, FifosAreNeverOpened) {
    const kxrtest::Fifo fifo(In("live.mov"));
    ASSERT_TRUE(fifo.Made());
    uint32_t guessed = 0;
    RLHANDLE opened = &guessed;
    EXPECT_TRUE(fifo.ReturnsPromptly([&] {
        guessed = rlGuessFileType(fifo.Path().c_str(), 0);
        opened = rlOpen(fifo.Path().c_str(), 0x80000000u, 1, nullptr, 3, 128, nullptr);
    }));
    EXPECT_EQ(guessed, static_cast<uint32_t>(kRLTypeMOV)) << "guessed by its name alone";
    EXPECT_EQ(opened, nullptr);
}
#endif

TEST(Reelio, TruncatedFilesNeverCrash) {
    REQUIRE_MEDIA();
    const std::pair<const char*, std::size_t> rows[] = {
        {"clip.mov", 100}, {"clip.mov", 40000},   {"clip.mxf", 3000}, {"clip.mkv", 500},
        {"tone.wav", 30},  {"shot0001.dpx", 900}, {"still.png", 60}};
    for (const auto& [name, keep] : rows) {
        SCOPED_TRACE(testing::Message() << name << " cut to " << keep);
        kxrtest::WriteFile(In("cut.bin"), kxrtest::ReadFile(In(name)).substr(0, keep));
        Opened file(In("cut.bin"));
        if (file.handle != nullptr)
            file.Read();
    }
}

TEST(Reelio, TypeTable) {
    char shortText[RL_SHORT_DESCRIPTION_SIZE] = "untouched";
    char longText[RL_LONG_DESCRIPTION_SIZE - 1]; // some callers pass 255 bytes
    uint32_t flags = 7;
    for (uint32_t bad : {0u, 8u, 99u, RL_UNKNOWN})
        EXPECT_EQ(rlGetFileTypeInfo(bad, nullptr, shortText, nullptr, &flags, nullptr), RL_UNKNOWN);
    EXPECT_STREQ(shortText, "untouched");
    EXPECT_EQ(flags, 7u);
    ASSERT_EQ(rlGetFileTypeInfo(kRLTypeDPX, nullptr, shortText, longText, &flags, nullptr), 0u);
    EXPECT_EQ(flags, RL_CAN_READ | RL_DISCRETE | RL_VIDEO | RL_INFO);
    EXPECT_GT(std::strlen(longText), std::strlen(shortText));
}

} // namespace

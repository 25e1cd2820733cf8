// Reelio through its exported operations, on media files the ffmpeg tool
// makes at start: geometry, rates, lengths, sound, timecodes and type flags.
#include "kxr/reelio.h"

#include "test_bytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace reelio_test;

constexpr uint32_t kMov = 0x6d703476; // "mp4v", the MPEG-4 video the tool writes

fs::path gDir;
bool gHaveTool = false;

bool Run(const std::string& arguments) {
    const std::string command = "ffmpeg -hide_banner -loglevel error -nostdin -y " + arguments;
    return std::system(command.c_str()) == 0;
}

std::string In(const char* name) {
    return (gDir / name).string();
}

Bytes Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Save(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// The tool writes DPX files without industry headers; give frame `index` a
// film header and a television header with timecode 01:00:00:00 + index.
void AddDpxTimeCode(const std::string& path, uint32_t index) {
    Bytes file = Load(path);
    ASSERT_GE(file.size(), 1664u);
    const bool bigEndian = std::memcmp(file.data(), "SDPX", 4) == 0;
    Bytes out(file.begin(), file.begin() + 1664);
    out.resize(2048, 0xFF);
    out.insert(out.end(), file.begin() + 1664, file.end());
    Put32(out, 4, 2048, bigEndian);                               // image offset
    Put32(out, 16, static_cast<uint32_t>(out.size()), bigEndian); // file size
    Put32(out, 28, 384, bigEndian);                               // industry headers
    Put32(out, 808, 2048, bigEndian);                             // element data offset
    Put32(out, 1712, index + 1, bigEndian);                       // frame position
    Put32(out, 1716, 3, bigEndian);                               // sequence length
    PutFloat(out, 1724, 24.0f, bigEndian);                        // film rate
    Put32(out, 1920, 0x01000000 | index, bigEndian);              // BCD timecode
    Put32(out, 1924, 0, bigEndian);                               // user bits
    PutFloat(out, 1940, 25.0f, bigEndian);                        // television rate
    Save(path, out);
}

// Made on first use, so tests that need no media do not wait for the tool.
void MakeMedia() {
    gHaveTool = std::system("ffmpeg -hide_banner -version >/dev/null 2>&1") == 0;
    if (!gHaveTool) {
        return;
    }
    const std::string video = "-f lavfi -i testsrc=size=320x240:rate=25:duration=2 ";
    const std::string sound = "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=2 ";
    ASSERT_TRUE(Run(video + sound +
                    "-ac 2 -c:v mpeg4 -c:a pcm_s16le -timecode 01:00:00:00 "
                    "-metadata title=\"Reel test\" -metadata comment=Hello " +
                    In("clip.mov")));
    ASSERT_TRUE(Run("-f lavfi -i testsrc=size=320x240:rate=30000/1001:duration=1 "
                    "-c:v mpeg4 -timecode \"01:00:00;00\" " +
                    In("drop.mov")));
    ASSERT_TRUE(Run("-f lavfi -i sine=sample_rate=44100:duration=1 -ac 2 -c:a pcm_s24le "
                    "-metadata title=Tone " +
                    In("tone.wav")));
    ASSERT_TRUE(Run("-f lavfi -i testsrc=size=64x48:rate=25 -frames:v 3 -pix_fmt rgb24 " +
                    In("shot%04d.dpx")));
    for (uint32_t i = 0; i < 3; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "shot%04u.dpx", i + 1);
        AddDpxTimeCode(In(name), i);
    }
    const std::string small = "-f lavfi -i testsrc=size=160x120:rate=24:duration=1 ";
    const std::string tone = "-f lavfi -i sine=sample_rate=48000:duration=1 ";
    ASSERT_TRUE(Run(small + tone + "-c:v mpeg4 -c:a aac " + In("clip.mp4")));
    ASSERT_TRUE(Run(small + "-c:v mpeg4 " + In("clip.avi")));
    ASSERT_TRUE(Run(small + tone + "-c:v mpeg4 -c:a pcm_s16le " + In("clip.mkv")));
    ASSERT_TRUE(Run(small + tone + "-c:v mpeg2video -c:a pcm_s16le -timecode 10:00:00:00 " +
                    In("clip.mxf")));
    ASSERT_TRUE(Run("-f lavfi -i testsrc=size=64x48 -frames:v 1 " + In("still.png")));
    fs::copy_file(In("still.png"), In("misnamed.dpx"));
}

bool HaveMedia() {
    static bool made = false;
    if (!made) {
        made = true;
        MakeMedia();
    }
    return gHaveTool;
}

class TempDir : public testing::Environment {
public:
    void SetUp() override {
        std::random_device random;
        gDir = fs::temp_directory_path() / ("reelio-test-" + std::to_string(random()));
        fs::create_directories(gDir);
        std::ofstream(In("notes.txt")) << "Meeting notes: nothing here is a picture or a sound.\n";
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(gDir, ignored);
    }
};

const testing::Environment* const gMedia = testing::AddGlobalTestEnvironment(new TempDir);

#define REQUIRE_TOOL()                                                                             \
    do {                                                                                           \
        if (!HaveMedia()) {                                                                        \
            GTEST_SKIP() << "the ffmpeg tool is not installed";                                    \
        }                                                                                          \
    } while (0)

// The records as the module presets them before asking.
struct Records {
    RLPictureInfo picture;
    RLStreamInfo stream;
    RLSoundInfo sound;
    RLMetadata meta;
    Records() {
        std::memset(this, 0, sizeof *this);
        for (uint32_t& n : meta.numbers) {
            n = RL_UNKNOWN;
        }
        meta.numbers[kRLTimeCode] = 0;
        meta.numbers[kRLVITCTimeCode] = 0;
        meta.numbers[kRLPosterFrame] = 0;
        meta.numbers[kRLAFrame] = 0;
        stream.quality = 0x5A5A; // a field no file fills: must survive
    }
    std::string Text(int slot) const {
        const char* text = meta.texts[slot - 1];
        return text == nullptr ? std::string() : std::string(text);
    }
};

// An open file, closed when the test ends.
struct Opened {
    RLHANDLE handle;
    explicit Opened(const std::string& path)
        : handle(rlOpen(path.c_str(), 0x80000000u, 1, nullptr, 3, 128, nullptr)) {}
    ~Opened() {
        if (handle != nullptr) {
            rlClose(&handle);
        }
    }
    Records Read(uint32_t stream = RL_UNKNOWN) {
        Records r;
        EXPECT_EQ(rlGetFileInfo(&handle, stream, &r.picture, &r.stream, &r.sound, &r.meta), 0);
        return r;
    }
    RLChannelCounts Channels() {
        RLChannelCounts counts{99, 99, 99};
        EXPECT_EQ(rlChannels(&handle, 0, &counts, 0), 0);
        return counts;
    }
};

TEST(Reelio, MovieWithTimeCodeAndSound) {
    REQUIRE_TOOL();
    Opened file(In("clip.mov"));
    ASSERT_NE(file.handle, nullptr);
    const Records r = file.Read();
    EXPECT_EQ(r.stream.width, 320);
    EXPECT_EQ(r.stream.height, 240);
    EXPECT_EQ(r.stream.planes, 1);
    EXPECT_EQ(r.stream.bitCount, 12) << "4:2:0 pictures";
    EXPECT_EQ(r.stream.compression, kMov);
    EXPECT_EQ(r.stream.sizeImage, 320u * 240u * 12u / 8u);
    EXPECT_EQ(r.stream.rate, 25u);
    EXPECT_EQ(r.stream.scale, 1u);
    EXPECT_EQ(r.stream.start, 0u);
    EXPECT_EQ(r.stream.length, 50u);
    EXPECT_EQ(r.stream.fileType, static_cast<uint32_t>(kRLTypeMOV));
    EXPECT_EQ(r.stream.quality, 0x5A5Au);

    EXPECT_EQ(r.sound.audioType, 1);
    EXPECT_EQ(r.sound.audioChannels, 2);
    EXPECT_EQ(r.sound.audioFrequency, 48000u);
    EXPECT_EQ(r.sound.audioBits, 16);
    EXPECT_EQ(r.sound.blockAlign, 4);
    EXPECT_EQ(r.sound.bytesPerSecond, 192000u);

    EXPECT_EQ(r.meta.numbers[kRLTimeCode], 90000u);
    EXPECT_EQ(r.meta.numbers[kRLTimeCodeType], 8u);
    EXPECT_EQ(r.meta.numbers[kRLVITCTimeCode], RL_UNKNOWN) << "no VITC: marked absent";
    EXPECT_EQ(r.meta.numbers[kRLPosterFrame], 0u) << "presets survive";
    EXPECT_EQ(r.meta.numbers[kRLAspectRatio], RL_UNKNOWN);
    EXPECT_EQ(r.meta.numbers[kRLFileSize], static_cast<uint32_t>(fs::file_size(In("clip.mov"))));
    EXPECT_EQ(r.meta.numbers[kRLTotalStreams], 3u) << "video, sound, timecode";
    EXPECT_EQ(r.meta.numbers[kRLTotalLength], RL_UNKNOWN) << "a movie has no total of its own";
    EXPECT_EQ(r.Text(kRLMetaTitle), "Reel test");
    EXPECT_EQ(r.Text(kRLMetaComments), "Hello");
    EXPECT_EQ(r.Text(kRLMetaFileName), "clip.mov");
    EXPECT_EQ(r.Text(kRLMetaSoftware).rfind("Lavf", 0), 0u) << r.Text(kRLMetaSoftware);
    EXPECT_FALSE(r.Text(kRLMetaFormat).empty());

    const RLChannelCounts counts = file.Channels();
    EXPECT_EQ(counts.video, 1u);
    EXPECT_EQ(counts.audio, 1u);
    EXPECT_EQ(counts.info, 1u);
}

TEST(Reelio, SingleStreamsOfAMovie) {
    REQUIRE_TOOL();
    Opened file(In("clip.mov"));
    ASSERT_NE(file.handle, nullptr);
    const Records video = file.Read(0);
    EXPECT_EQ(video.stream.width, 320);
    EXPECT_EQ(video.sound.audioChannels, 0) << "a picture stream has no sound";
    const Records sound = file.Read(1);
    EXPECT_EQ(sound.stream.width, 0);
    EXPECT_EQ(sound.stream.rate, 48000u);
    EXPECT_EQ(sound.stream.scale, 1u);
    EXPECT_EQ(sound.stream.length, 96000u);
    EXPECT_EQ(sound.sound.audioChannels, 2);
    Records r;
    EXPECT_EQ(rlGetFileInfo(&file.handle, 3, nullptr, &r.stream, nullptr, nullptr), -1);
}

TEST(Reelio, DropFrameTimeCode) {
    REQUIRE_TOOL();
    Opened file(In("drop.mov"));
    ASSERT_NE(file.handle, nullptr);
    const Records r = file.Read();
    EXPECT_EQ(r.stream.rate, 30000u);
    EXPECT_EQ(r.stream.scale, 1001u);
    EXPECT_EQ(r.stream.length, 30u);
    EXPECT_EQ(r.meta.numbers[kRLTimeCode], 107892u);
    EXPECT_EQ(r.meta.numbers[kRLTimeCodeType], 4u);
    EXPECT_EQ(r.sound.audioChannels, 0);
    EXPECT_EQ(file.Channels().audio, 0u);
}

TEST(Reelio, OtherContainers) {
    REQUIRE_TOOL();
    struct Row {
        const char* name;
        uint32_t type;
        uint16_t channels;
        uint32_t timeCode;
    };
    const Row rows[] = {
        {"clip.mp4", kRLTypeMP4, 1, RL_UNKNOWN},
        {"clip.avi", kRLTypeAVI, 0, RL_UNKNOWN},
        {"clip.mkv", kRLTypeMKV, 1, RL_UNKNOWN},
        {"clip.mxf", kRLTypeMXF, 1, 864000}, // 10:00:00:00 at 24
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Opened file(In(row.name));
        ASSERT_NE(file.handle, nullptr);
        const Records r = file.Read();
        EXPECT_EQ(r.stream.width, 160);
        EXPECT_EQ(r.stream.height, 120);
        EXPECT_EQ(r.stream.rate, 24u);
        EXPECT_EQ(r.stream.scale, 1u);
        EXPECT_EQ(r.stream.length, 24u);
        EXPECT_EQ(r.stream.fileType, row.type);
        EXPECT_NE(r.stream.compression, 0u);
        EXPECT_EQ(r.sound.audioChannels, row.channels);
        if (row.channels != 0) {
            EXPECT_EQ(r.sound.audioFrequency, 48000u);
        }
        EXPECT_EQ(r.meta.numbers[kRLTimeCode], row.timeCode);
        EXPECT_EQ(rlGuessFileType(In(row.name).c_str(), 0), row.type);
    }
}

TEST(Reelio, WaveFile) {
    REQUIRE_TOOL();
    Opened file(In("tone.wav"));
    ASSERT_NE(file.handle, nullptr);
    const Records r = file.Read();
    EXPECT_EQ(r.sound.audioType, 1);
    EXPECT_EQ(r.sound.audioChannels, 2);
    EXPECT_EQ(r.sound.audioFrequency, 44100u);
    EXPECT_EQ(r.sound.audioBits, 24);
    EXPECT_EQ(r.sound.blockAlign, 6);
    EXPECT_EQ(r.sound.bytesPerSecond, 44100u * 6);
    EXPECT_EQ(r.stream.width, 0);
    EXPECT_EQ(r.stream.rate, 44100u);
    EXPECT_EQ(r.stream.length, 44100u) << "one second of samples";
    EXPECT_EQ(r.stream.fileType, static_cast<uint32_t>(kRLTypeWAV));
    EXPECT_EQ(r.Text(kRLMetaTitle), "Tone");
    EXPECT_EQ(r.meta.numbers[kRLTimeCode], RL_UNKNOWN) << "no timecode: not the preset 0";
    const RLChannelCounts counts = file.Channels();
    EXPECT_EQ(counts.video, 0u);
    EXPECT_EQ(counts.audio, 1u);
}

TEST(Reelio, DpxSequenceFrames) {
    REQUIRE_TOOL();
    for (uint32_t i = 0; i < 3; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "shot%04u.dpx", i + 1);
        SCOPED_TRACE(name);
        ASSERT_EQ(rlGuessFileType(In(name).c_str(), 0), static_cast<uint32_t>(kRLTypeDPX));
        Opened file(In(name));
        ASSERT_NE(file.handle, nullptr);
        const Records r = file.Read();
        EXPECT_EQ(r.stream.width, 64);
        EXPECT_EQ(std::abs(r.stream.height), 48);
        EXPECT_EQ(r.stream.bitCount, 24);
        EXPECT_EQ(r.stream.rate, 25u) << "the television rate, not the film rate";
        EXPECT_EQ(r.stream.scale, 1u);
        EXPECT_EQ(r.stream.length, 1u);
        EXPECT_EQ(r.stream.fileType, static_cast<uint32_t>(kRLTypeDPX));
        EXPECT_EQ(r.meta.numbers[kRLTimeCode], 90000u + i);
        EXPECT_EQ(r.meta.numbers[kRLTimeCodeType], 8u);
        EXPECT_EQ(r.meta.numbers[kRLSequenceNumber], i + 1);
        EXPECT_EQ(r.meta.numbers[kRLTotalLength], 3u);
        EXPECT_EQ(r.sound.audioChannels, 0);
        EXPECT_EQ(file.Channels().video, 1u);
    }
}

TEST(Reelio, PictureFilesAndMisnamedFiles) {
    REQUIRE_TOOL();
    for (const char* name : {"still.png", "misnamed.dpx"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(rlGuessFileType(In(name).c_str(), 0), static_cast<uint32_t>(kRLTypePNG));
        Opened file(In(name));
        ASSERT_NE(file.handle, nullptr);
        const Records r = file.Read();
        EXPECT_EQ(r.stream.width, 64);
        EXPECT_EQ(r.stream.height, 48);
        EXPECT_EQ(r.stream.length, 1u);
        EXPECT_EQ(r.stream.fileType, static_cast<uint32_t>(kRLTypePNG));
    }
}

TEST(Reelio, WhatDoesNotOpen) {
    EXPECT_EQ(rlGuessFileType(In("notes.txt").c_str(), 0), RL_UNKNOWN);
    EXPECT_EQ(rlGuessFileType(nullptr, 0), RL_UNKNOWN);
    EXPECT_EQ(rlGuessFileType("", 0), RL_UNKNOWN);
    EXPECT_EQ(rlGuessFileType(In("missing.mov").c_str(), 0), static_cast<uint32_t>(kRLTypeMOV))
        << "an unreadable file is guessed by its name";
    fs::copy_file(In("notes.txt"), In("notes.mov"), fs::copy_options::overwrite_existing);
    for (const std::string& path :
         {In("notes.txt"), In("notes.mov"), In("missing.mov"), gDir.string(), std::string()}) {
        RLHANDLE handle = rlOpen(path.c_str(), 0x80000000u, 1, nullptr, 3, 128, nullptr);
        EXPECT_EQ(handle, nullptr) << path;
        if (handle != nullptr) {
            rlClose(&handle);
        }
    }
    EXPECT_EQ(rlOpen(nullptr, 0x80000000u, 1, nullptr, 3, 128, nullptr), nullptr);
}

TEST(Reelio, TruncatedFilesNeverCrash) {
    REQUIRE_TOOL();
    struct Row {
        const char* name;
        std::size_t keep;
    };
    const Row rows[] = {{"clip.mov", 100},   {"clip.mov", 40000},   {"clip.mxf", 3000},
                        {"clip.mkv", 500},   {"clip.avi", 1000},    {"tone.wav", 30},
                        {"tone.wav", 10000}, {"shot0001.dpx", 900}, {"shot0001.dpx", 100},
                        {"still.png", 60}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.name << " cut to " << row.keep);
        Bytes bytes = Load(In(row.name));
        ASSERT_GT(bytes.size(), row.keep);
        bytes.resize(row.keep);
        const std::string cut = In("cut.bin");
        Save(cut, bytes);
        RLHANDLE handle = rlOpen(cut.c_str(), 0x80000000u, 1, nullptr, 3, 128, nullptr);
        if (handle != nullptr) {
            Records r;
            EXPECT_EQ(rlGetFileInfo(&handle, RL_UNKNOWN, &r.picture, &r.stream, &r.sound, &r.meta),
                      0);
            EXPECT_EQ(rlClose(&handle), 0);
            EXPECT_EQ(handle, nullptr);
        }
    }
    // A cut WAVE file holds fewer samples than its header claims.
    Bytes wave = Load(In("tone.wav"));
    wave.resize(wave.size() / 2);
    Save(In("half.wav"), wave);
    Opened half(In("half.wav"));
    ASSERT_NE(half.handle, nullptr);
    const Records r = half.Read();
    EXPECT_GT(r.stream.length, 0u);
    EXPECT_LT(r.stream.length, 44100u / 2 + 1);
}

TEST(Reelio, BadHandles) {
    Records r;
    RLChannelCounts counts{};
    RLHANDLE none = nullptr;
    EXPECT_EQ(rlGetFileInfo(nullptr, RL_UNKNOWN, nullptr, &r.stream, nullptr, nullptr), -1);
    EXPECT_EQ(rlGetFileInfo(&none, RL_UNKNOWN, nullptr, &r.stream, nullptr, nullptr), -1);
    EXPECT_EQ(rlChannels(nullptr, 0, &counts, 0), -1);
    EXPECT_EQ(rlChannels(&none, 0, &counts, 0), -1);
    EXPECT_EQ(rlClose(nullptr), -1);
    EXPECT_EQ(rlClose(&none), -1);
    int notAHandle = 0;
    RLHANDLE foreign = &notAHandle;
    EXPECT_EQ(rlGetFileInfo(&foreign, RL_UNKNOWN, nullptr, &r.stream, nullptr, nullptr), -1);
    EXPECT_EQ(rlClose(&foreign), -1);
    EXPECT_EQ(foreign, nullptr);

    REQUIRE_TOOL();
    RLHANDLE handle = rlOpen(In("tone.wav").c_str(), 0x80000000u, 1, nullptr, 3, 128, nullptr);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(rlChannels(&handle, 0, nullptr, 0), -1);
    RLHANDLE copy = handle;
    EXPECT_EQ(rlClose(&handle), 0);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(rlGetFileInfo(&copy, RL_UNKNOWN, nullptr, &r.stream, nullptr, nullptr), -1)
        << "a closed handle is refused";
    EXPECT_EQ(rlClose(&copy), -1);
}

TEST(Reelio, TypeTable) {
    constexpr uint32_t kPicture = RL_CAN_READ | RL_DISCRETE | RL_VIDEO | RL_INFO;
    constexpr uint32_t kMovie = RL_CAN_READ | RL_VIDEO | RL_AUDIO | RL_INFO | RL_CONTAINER;
    constexpr uint32_t kSound = RL_CAN_READ | RL_AUDIO | RL_INFO;
    struct Row {
        uint32_t type;
        uint32_t flags;
    };
    const Row rows[] = {{kRLTypeDPX, kPicture},  {kRLTypeTIFF, kPicture}, {kRLTypePNG, kPicture},
                        {kRLTypeJPEG, kPicture}, {kRLTypeBMP, kPicture},  {kRLTypeTGA, kPicture},
                        {kRLTypeEXR, kPicture},  {kRLTypeMOV, kMovie},    {kRLTypeMP4, kMovie},
                        {kRLTypeMXF, kMovie},    {kRLTypeAVI, kMovie},    {kRLTypeMKV, kMovie},
                        {kRLTypeWAV, kSound},    {kRLTypeAIFF, kSound}};
    for (const Row& row : rows) {
        char name[RL_LONG_DESCRIPTION_SIZE];
        char shortText[RL_SHORT_DESCRIPTION_SIZE];
        char longText[RL_LONG_DESCRIPTION_SIZE - 1]; // some callers pass 255 bytes
        uint32_t flags = 0;
        uint32_t value = 0;
        ASSERT_EQ(rlGetFileTypeInfo(row.type, name, shortText, longText, &flags, &value), 0u);
        EXPECT_EQ(flags, row.flags) << name;
        EXPECT_EQ(value, row.type) << name;
        EXPECT_GT(std::strlen(shortText), 0u) << name;
        EXPECT_GT(std::strlen(longText), std::strlen(shortText)) << name;
        // Every output may be left out.
        EXPECT_EQ(rlGetFileTypeInfo(row.type, nullptr, nullptr, nullptr, nullptr, nullptr), 0u);
    }
    char shortText[RL_SHORT_DESCRIPTION_SIZE] = "untouched";
    uint32_t flags = 7;
    for (uint32_t bad : {0u, 8u, 99u, RL_UNKNOWN}) {
        EXPECT_EQ(rlGetFileTypeInfo(bad, nullptr, shortText, nullptr, &flags, nullptr), RL_UNKNOWN);
    }
    EXPECT_STREQ(shortText, "untouched");
    EXPECT_EQ(flags, 7u);
}

} // namespace

// rlOpen on DPX and WAVE files written byte by byte: the files every build
// opens, whether or not it has a media library (the Windows build has none).
#include "kxr/reelio.h"

#include "test_bytes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace reelio_test;

class ReelioOpen : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("reelio-open-" +
                std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    std::string Write(const char* name, const Bytes& bytes) {
        const std::string path = (dir_ / name).string();
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    fs::path dir_;
};

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
    }
};

RLHANDLE Open(const std::string& path) {
    return rlOpen(path.c_str(), 0x80000000u, 1, nullptr, 3, 128, nullptr);
}

TEST_F(ReelioOpen, WaveFileOfHandMadeBytes) {
    Bytes file = WaveStart();
    AppendChunk(file, "fmt ", FmtBody(1, 2, 48000, 16), 16);
    AppendChunk(file, "data", Bytes(4800 * 4, 0), 4800 * 4); // 0.1 s
    const std::string path = Write("tone.wav", file);
    EXPECT_EQ(rlGuessFileType(path.c_str(), 0), static_cast<uint32_t>(kRLTypeWAV));

    RLHANDLE handle = Open(path);
    ASSERT_NE(handle, nullptr);
    Records r;
    ASSERT_EQ(rlGetFileInfo(&handle, RL_UNKNOWN, &r.picture, &r.stream, &r.sound, &r.meta), 0);
    EXPECT_EQ(r.sound.audioType, 1);
    EXPECT_EQ(r.sound.audioChannels, 2);
    EXPECT_EQ(r.sound.audioFrequency, 48000u);
    EXPECT_EQ(r.sound.audioBits, 16);
    EXPECT_EQ(r.sound.blockAlign, 4);
    EXPECT_EQ(r.stream.rate, 48000u);
    EXPECT_EQ(r.stream.length, 4800u);
    EXPECT_EQ(r.stream.fileType, static_cast<uint32_t>(kRLTypeWAV));
    EXPECT_EQ(r.meta.numbers[kRLTimeCode], RL_UNKNOWN);
    RLChannelCounts counts{99, 99, 99};
    ASSERT_EQ(rlChannels(&handle, 0, &counts, 0), 0);
    EXPECT_EQ(counts.video, 0u);
    EXPECT_EQ(counts.audio, 1u);
    EXPECT_EQ(rlClose(&handle), 0);
    EXPECT_EQ(handle, nullptr);
}

TEST_F(ReelioOpen, DpxFrameOfHandMadeBytes) {
    for (bool bigEndian : {true, false}) {
        SCOPED_TRACE(bigEndian ? "big-endian" : "little-endian");
        Bytes file = DpxHeader(bigEndian, 64, 48, 50, 8, 0); // RGB, 8 bits
        PutFloat(file, 1940, 25.0f, bigEndian);              // television rate
        Put32(file, 1920, 0x01000007, bigEndian);            // 01:00:00:07
        file.resize(file.size() + 64 * 48 * 3, 0x80);
        Put32(file, 16, static_cast<uint32_t>(file.size()), bigEndian);
        const std::string path = Write(bigEndian ? "be.dpx" : "le.dpx", file);

        RLHANDLE handle = Open(path);
        ASSERT_NE(handle, nullptr);
        Records r;
        ASSERT_EQ(rlGetFileInfo(&handle, RL_UNKNOWN, &r.picture, &r.stream, &r.sound, &r.meta), 0);
        EXPECT_EQ(r.stream.width, 64);
        EXPECT_EQ(std::abs(r.stream.height), 48);
        EXPECT_EQ(r.stream.bitCount, 24);
        EXPECT_EQ(r.stream.rate, 25u);
        EXPECT_EQ(r.stream.scale, 1u);
        EXPECT_EQ(r.stream.length, 1u);
        EXPECT_EQ(r.stream.fileType, static_cast<uint32_t>(kRLTypeDPX));
        EXPECT_EQ(r.meta.numbers[kRLTimeCode], 90007u);
        EXPECT_EQ(r.meta.numbers[kRLTimeCodeType], 8u);
        EXPECT_EQ(r.sound.audioChannels, 0);
        EXPECT_EQ(rlClose(&handle), 0);
    }
}

TEST_F(ReelioOpen, SignatureDecidesNotTheName) {
    // DPX bytes under a movie's name are read as DPX; text under a DPX name
    // opens nowhere.
    Bytes dpx = DpxHeader(true, 16, 16, 50, 8, 0);
    dpx.resize(dpx.size() + 16 * 16 * 3, 0);
    const std::string misnamed = Write("frame.mov", dpx);
    RLHANDLE handle = Open(misnamed);
    ASSERT_NE(handle, nullptr);
    Records r;
    ASSERT_EQ(rlGetFileInfo(&handle, RL_UNKNOWN, &r.picture, &r.stream, &r.sound, &r.meta), 0);
    EXPECT_EQ(r.stream.fileType, static_cast<uint32_t>(kRLTypeDPX));
    EXPECT_EQ(r.stream.width, 16);
    EXPECT_EQ(rlClose(&handle), 0);

    const std::string text = Write("notes.dpx", Bytes(3000, 'x'));
    EXPECT_EQ(Open(text), nullptr);
}

} // namespace

// The parts of Reelio that work on bytes and numbers: timecodes and rates,
// the type guess, and the DPX and WAVE header readers.
#include "reelio_headers.h"
#include "reelio_timecode.h"
#include "reelio_types.h"
#include "test_bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace {

using namespace reelio_test;
using reelio::MediaDescription;

TEST(ReelioTimeCode, TextToFramesAndRates) {
    // Text, rate, scale, frames, timecode type.
    const std::tuple<const char*, uint32_t, uint32_t, uint32_t, uint32_t> rows[] = {
        {"01:00:00:00", 25, 1, 90000, 8},        {"01:00:00:00", 24000, 1001, 86400, 132},
        {"01:00:00;00", 30000, 1001, 107892, 4}, {"01:00:00:00", 30000, 1001, 108000, 2},
        {"00:01:00;00", 30000, 1001, 1800, 4},   {"01:00:00;00", 60000, 1001, 215784, 32},
        {" 1:2:3:4 ", 25, 1, 93079, 8},          {"00:00:01:00", 12, 1, 12, 0}};
    for (const auto& [text, rate, scale, frames, type] : rows) {
        reelio::StartTimeCode tc;
        ASSERT_TRUE(reelio::TimeCodeTextToFrames(text, rate, scale, &tc)) << text;
        EXPECT_EQ(std::make_pair(tc.frames, tc.type), std::make_pair(frames, type)) << text;
    }
    reelio::StartTimeCode tc;
    for (const char* text : {"", "01:00:00", "01:00:00:00:00", "01:00:00:25", "01:60:00:00",
                             "aa:bb:cc:dd", "01:00:00:000", "-1:00:00:00"})
        EXPECT_FALSE(reelio::TimeCodeTextToFrames(text, 25, 1, &tc)) << text;
    EXPECT_FALSE(reelio::TimeCodeTextToFrames("01:00:00:00", 25, 0, &tc)) << "unknown rate";
}

TEST(ReelioTypes, GuessFromNameAndBytes) {
    const std::string dpx = "SDPX", text = "These are meeting notes, not a picture.";
    // Path, first bytes (empty: the file could not be read), type.
    const std::tuple<const char*, std::string, uint32_t> rows[] = {
        {"C:\\media\\CLIP0001.DPX", "", kRLTypeDPX}, // unreadable: the name decides
        {"/media/frame.png", dpx, kRLTypeDPX},       // misnamed: the bytes decide
        {"/media/a.mov", std::string("\0\0\0\x18", 4) + "ftypisom", kRLTypeMP4},
        {"/media/a.bin", std::string("RIFF\x24\0\0\0WAVEfmt ", 16), kRLTypeWAV},
        {"/media/fake.dpx", text, RL_UNKNOWN}, // content contradicts the name
        {"/media/odd.mov", text, kRLTypeMOV},  // movies may begin with any atom
        {"/media/tiny.dpx", "SD", kRLTypeDPX}, // too short to contradict
        {"/media.dpx/readme", "", RL_UNKNOWN}, // the dot is in a directory name
    };
    for (const auto& [path, head, type] : rows) {
        const auto* bytes = head.empty() ? nullptr : reinterpret_cast<const uint8_t*>(head.data());
        EXPECT_EQ(reelio::GuessFileType(path, bytes, head.size()), type) << path;
    }
}

uint32_t Number(const MediaDescription& media, int index) {
    return media.numbers[static_cast<std::size_t>(index)].value_or(RL_UNKNOWN);
}

TEST(ReelioDpx, GeometryOfBothByteOrders) {
    // Big-endian, descriptor, bits, packing, bits a pixel.
    const std::tuple<bool, uint8_t, uint8_t, uint16_t, uint16_t> rows[] = {
        {true, 50, 10, 1, 32},  {false, 50, 10, 1, 32},  {true, 50, 10, 0, 30},
        {false, 51, 16, 0, 64}, {false, 100, 10, 1, 22}, {true, 6, 12, 1, 16}};
    for (const auto& [bigEndian, descriptor, bitSize, packing, bitCount] : rows) {
        const Bytes b = DpxHeader(bigEndian, 1920, 1080, descriptor, bitSize, packing);
        MediaDescription media;
        ASSERT_TRUE(reelio::ReadDpxHeader(b.data(), b.size(), media));
        const auto& picture = media.streams.at(0).picture;
        ASSERT_TRUE(picture.has_value());
        EXPECT_EQ(std::make_pair(picture->width, picture->height), std::make_pair(1920, -1080));
        EXPECT_EQ(picture->bitCount, bitCount) << int(descriptor) << "/" << int(bitSize);
        EXPECT_EQ(picture->sizeImage, (1920u * bitCount + 31) / 32 * 4 * 1080u);
    }
}

// Television and film rates (0: undefined), BCD timecode, rate, scale, frames,
// type: the film header alone, the television rate winning, the drop-frame
// flag, no rate (counted as film), and timecodes undefined, not BCD or with
// frame 25 at 25 fps.
TEST(ReelioDpx, RatesTimeCodeAndFields) {
    const uint32_t no = RL_UNKNOWN;
    const std::tuple<float, float, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t> rows[] = {
        {0, 24.0f, 0x10000000, 24, 1, 864000, 1},        {25.0f, 24.0f, 0x00000010, 25, 1, 10, 8},
        {29.97f, 0, 0x01000040, 30000, 1001, 107892, 4}, {0, 0, 0x01000000, 0, 0, 86400, 1},
        {25.0f, 0, 0xFFFFFFFF, 25, 1, no, no},           {25.0f, 0, 0x01000025, 25, 1, no, no}};
    for (const auto& [tvRate, filmRate, bcd, rate, scale, frames, type] : rows) {
        for (bool bigEndian : {false, true}) {
            Bytes b = DpxHeader(bigEndian, 64, 48, 50, 8, 0);
            if (tvRate != 0)
                PutFloat(b, 1940, tvRate, bigEndian);
            if (filmRate != 0)
                PutFloat(b, 1724, filmRate, bigEndian);
            Put32(b, 1920, bcd, bigEndian);
            MediaDescription media;
            ASSERT_TRUE(reelio::ReadDpxHeader(b.data(), b.size(), media));
            SCOPED_TRACE(testing::Message() << std::hex << bcd << " be=" << bigEndian);
            EXPECT_EQ(std::make_pair(media.streams.at(0).rate, media.streams[0].scale),
                      std::make_pair(rate, scale));
            EXPECT_EQ(Number(media, kRLTimeCode), frames);
            EXPECT_EQ(Number(media, kRLTimeCodeType), type);
        }
    }
}

TEST(ReelioDpx, WithoutIndustryHeadersCutShortOrBroken) {
    Bytes noIndustry = DpxHeader(false, 64, 48, 50, 8, 0);
    Put32(noIndustry, 28, 0, false); // the bytes at 1920 are picture data, not a timecode
    Bytes cut = DpxHeader(false, 64, 48, 50, 8, 0);
    cut.resize(1930); // inside the television header: geometry only
    for (Bytes* b : {&noIndustry, &cut}) {
        Put32(*b, 1920, 0x01000000, false);
        MediaDescription media;
        ASSERT_TRUE(reelio::ReadDpxHeader(b->data(), b->size(), media));
        EXPECT_EQ(media.streams.at(0).picture->width, 64);
        EXPECT_EQ(Number(media, kRLTimeCode), RL_UNKNOWN);
    }
    for (int broken = 0; broken < 4; ++broken) { // no width, undefined height, bad magic, short
        Bytes b = DpxHeader(true, broken == 0 ? 0 : 64, broken == 1 ? 0xFFFFFFFF : 48, 50, 8, 0);
        b[0] = broken == 2 ? 'X' : b[0];
        b.resize(broken == 3 ? 800 : b.size());
        MediaDescription none;
        EXPECT_FALSE(reelio::ReadDpxHeader(b.data(), b.size(), none)) << broken;
    }
}

// Reads a whole file held in memory the way rlOpen reads one from disk.
bool ReadWave(const Bytes& file, MediaDescription& media) {
    reelio::WavReader reader(file.size());
    uint64_t at = 0;
    for (int i = 0; i < 8 && (i == 0 || at != 0); ++i)
        at = reader.Feed(file.data() + at,
                         at < file.size() ? std::min<std::size_t>(65536, file.size() - at) : 0, at);
    return reader.Finish(media);
}

TEST(ReelioWave, FormatsAndLengths) {
    // Tag, channels, bits, rate, data bytes present, data bytes claimed, length;
    // the fourth file is cut short, the last one's odd data size padded.
    using Row = std::tuple<uint16_t, uint16_t, uint16_t, uint32_t, uint32_t, uint32_t, uint32_t>;
    const Row rows[] = {{1, 2, 16, 48000, 192000, 192000, 48000},
                        {1, 1, 24, 44100, 300, 300, 100},
                        {3, 2, 32, 96000, 800, 800, 100},
                        {1, 2, 16, 48000, 400, 192000, 100},
                        {1, 1, 8, 8000, 7, 7, 7}};
    for (const auto& [tag, channels, bits, rate, present, claimed, length] : rows) {
        Bytes file = WaveStart();
        AppendChunk(file, "fmt ", FmtBody(tag, channels, rate, bits), 16);
        AppendChunk(file, "data", Bytes(present, 0), claimed);
        MediaDescription media;
        ASSERT_TRUE(ReadWave(file, media)) << rate;
        const auto& stream = media.streams.at(0);
        ASSERT_TRUE(stream.sound.has_value());
        const auto& sound = *stream.sound;
        EXPECT_EQ(std::make_tuple(sound.audioType, sound.channels, sound.bits, sound.blockAlign),
                  std::make_tuple(tag, channels, bits, uint16_t(channels * bits / 8)));
        EXPECT_EQ(sound.bytesPerSecond, rate * channels * bits / 8);
        EXPECT_EQ(std::make_pair(stream.rate, stream.scale), std::make_pair(rate, 1u));
        EXPECT_EQ(stream.length.value_or(0), length) << rate;
    }
}

TEST(ReelioWave, ExtensibleFormatAndTextsPastTheFirstWindow) {
    Bytes fmt = FmtBody(0xFFFE, 2, 48000, 32); // extensible, float sub-format
    fmt.resize(40, 0);
    Put16(fmt, 16, 22, false);
    Put16(fmt, 24, 3, false);
    Bytes info = {'I', 'N', 'F', 'O'};
    AppendChunk(info, "INAM", {'T', 'o', 'n', 'e', 0}, 5);
    Bytes file = WaveStart();
    AppendChunk(file, "fmt ", fmt, 40);
    AppendChunk(file, "data", Bytes(100000, 0), 100000); // texts past the first window
    AppendChunk(file, "LIST", info, static_cast<uint32_t>(info.size()));
    MediaDescription media;
    ASSERT_TRUE(ReadWave(file, media));
    EXPECT_EQ(media.streams.at(0).sound->audioType, 3);
    EXPECT_EQ(media.streams[0].length.value_or(0), 100000u / 8);
    EXPECT_EQ(media.texts[kRLMetaTitle - 1], "Tone");
}

TEST(ReelioWave, RefusesWhatIsNotUsableSound) {
    Bytes noFormat = WaveStart(), noChannels = WaveStart(), notWave = WaveStart();
    AppendChunk(noFormat, "data", Bytes(16, 0), 16);
    AppendChunk(noChannels, "fmt ", FmtBody(1, 0, 48000, 16), 16);
    AppendChunk(notWave, "fmt ", FmtBody(1, 2, 48000, 16), 16);
    std::memcpy(notWave.data() + 8, "AVI ", 4);
    Bytes hugeChunk = WaveStart(); // a chunk claiming 4 GB must not send the walk astray
    AppendChunk(hugeChunk, "junk", Bytes(4, 0), 0xFFFFFFF0u);
    for (const Bytes* file : {&noFormat, &noChannels, &notWave, &hugeChunk}) {
        MediaDescription media;
        EXPECT_FALSE(ReadWave(*file, media));
        EXPECT_TRUE(media.streams.empty());
    }
}

} // namespace

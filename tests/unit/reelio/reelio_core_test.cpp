// The parts of Reelio that work on bytes and numbers: timecodes and rates,
// the type guess, and the DPX and WAVE header readers.
#include "reelio_headers.h"
#include "reelio_timecode.h"
#include "reelio_types.h"
#include "test_bytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

using namespace reelio_test;
using reelio::MediaDescription;
using reelio::StartTimeCode;

TEST(ReelioTimeCode, TextToFrames) {
    struct Row {
        const char* text;
        uint32_t rate, scale;
        uint32_t frames, type;
    };
    const Row rows[] = {
        {"01:00:00:00", 25, 1, 90000, 8},
        {"10:00:00:00", 24, 1, 864000, 1},
        {"01:00:00:00", 24000, 1001, 86400, 132},
        {"01:00:00;00", 30000, 1001, 107892, 4},
        {"01:00:00:00", 30000, 1001, 108000, 2}, // non-drop 29.97 counts like 30
        {"00:10:00;00", 30000, 1001, 17982, 4},
        {"00:01:00;00", 30000, 1001, 1800, 4}, // a skipped label reads as ;02
        {"00:01:00;02", 30000, 1001, 1800, 4},
        {"01:00:00;00", 60000, 1001, 215784, 32},
        {"01:00:00:00", 60000, 1001, 216000, 64},
        {"00:00:01:49", 50, 1, 99, 16},
        {"00:00:01:29", 30, 1, 59, 2},
        {" 1:2:3:4 ", 25, 1, 3 * 25 + 2 * 1500 + 90000 + 4, 8},
        {"00:00:01:00", 12, 1, 12, 0}, // a rate without a timecode type
    };
    for (const Row& row : rows) {
        StartTimeCode tc;
        ASSERT_TRUE(reelio::TimeCodeTextToFrames(row.text, row.rate, row.scale, &tc)) << row.text;
        EXPECT_EQ(tc.frames, row.frames) << row.text << " @" << row.rate << "/" << row.scale;
        EXPECT_EQ(tc.type, row.type) << row.text << " @" << row.rate << "/" << row.scale;
    }
    const char* refused[] = {"",
                             "01:00:00",
                             "01:00:00:00:00",
                             "01:00:00:25",
                             "01:60:00:00",
                             "01:00:60:00",
                             "aa:bb:cc:dd",
                             "01:00:00:000",
                             "01::00:00",
                             "-1:00:00:00"};
    for (const char* text : refused) {
        StartTimeCode tc;
        EXPECT_FALSE(reelio::TimeCodeTextToFrames(text, 25, 1, &tc)) << text;
    }
    StartTimeCode tc;
    EXPECT_FALSE(reelio::TimeCodeTextToFrames("01:00:00:00", 25, 0, &tc)) << "unknown rate";
}

TEST(ReelioTimeCode, RateFromFloat) {
    struct Row {
        double fps;
        uint32_t rate, scale;
    };
    const Row rows[] = {
        {23.976, 24000, 1001}, {23.976023, 24000, 1001}, {24.0, 24, 1}, {25.0, 25, 1},
        {29.97, 30000, 1001},  {59.94, 60000, 1001},     {50.0, 50, 1}, {12.5, 25, 2},
        {47.952, 48000, 1001}};
    for (const Row& row : rows) {
        uint32_t rate = 0;
        uint32_t scale = 0;
        ASSERT_TRUE(reelio::RateFromFloat(row.fps, &rate, &scale)) << row.fps;
        EXPECT_EQ(rate, row.rate) << row.fps;
        EXPECT_EQ(scale, row.scale) << row.fps;
    }
    uint32_t rate = 0;
    uint32_t scale = 0;
    for (double bad : {0.0, -25.0, std::nan(""), HUGE_VAL, 1e9}) {
        EXPECT_FALSE(reelio::RateFromFloat(bad, &rate, &scale)) << bad;
    }
}

// A literal with its embedded zero bytes.
template <std::size_t N> std::string Lit(const char (&text)[N]) {
    return std::string(text, N - 1);
}

TEST(ReelioTypes, GuessFromNameAndBytes) {
    const std::string dpx = "SDPX";
    const std::string png = "\x89PNG\r\n\x1a\n";
    const std::string qt = std::string("\0\0\0\x14", 4) + "ftypqt  ";
    const std::string isom = std::string("\0\0\0\x18", 4) + "ftypisom";
    const std::string oldMovie = std::string("\0\0\x10\0", 4) + "mdat";
    const std::string wave = Lit("RIFF\x24\0\0\0WAVEfmt ");
    const std::string avi = Lit("RIFF\x24\0\0\0AVI LIST");
    const std::string aiff = Lit("FORM\0\0\0\0AIFF");
    const std::string mkv = "\x1a\x45\xdf\xa3";
    const std::string mxf = Lit("\x06\x0e\x2b\x34\x02\x05\x01\x01\x0d\x01\x02\x01\x01\x02\x04\x00");
    const std::string bmp = std::string("BM\x36\x10\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0", 18);
    const std::string text = "These are meeting notes, not a picture.";
    const std::string bmText = "BMW service record, not a bitmap at all";
    struct Row {
        const char* path;
        std::string head; // empty: the file could not be read
        uint32_t type;
    };
    const Row rows[] = {
        {"/media/clip0001.dpx", dpx, kRLTypeDPX},
        {"C:\\media\\CLIP0001.DPX", "", kRLTypeDPX}, // unreadable: the name decides
        {"/media/frame.png", dpx, kRLTypeDPX},       // misnamed: the bytes decide
        {"/media/notes.txt", png, kRLTypePNG},
        {"/media/a.mov", qt, kRLTypeMOV},
        {"/media/a.mov", isom, kRLTypeMP4},
        {"/media/a.bin", oldMovie, kRLTypeMOV},
        {"/media/a.bin", wave, kRLTypeWAV},
        {"/media/a.bin", avi, kRLTypeAVI},
        {"/media/a.bin", aiff, kRLTypeAIFF},
        {"/media/a.bin", mkv, kRLTypeMKV},
        {"/media/a.bin", mxf, kRLTypeMXF},
        {"/media/a.bin", bmp, kRLTypeBMP},
        {"/media/a.bin", bmText, RL_UNKNOWN},
        {"/media/notes.txt", text, RL_UNKNOWN},
        {"/media/fake.dpx", text, RL_UNKNOWN}, // content contradicts the name
        {"/media/fake.wav", text, RL_UNKNOWN},
        {"/media/odd.mov", text, kRLTypeMOV},   // movies may begin with any atom
        {"/media/title.tga", text, kRLTypeTGA}, // no signature to check
        {"/media/tiny.dpx", "SD", kRLTypeDPX},  // too short to contradict
        {"/media/a.Tiff", "", kRLTypeTIFF},
        {"/media/a.jpeg", "", kRLTypeJPEG},
        {"/media/a.exr", "", kRLTypeEXR},
        {"/media/a.aif", "", kRLTypeAIFF},
        {"/media/a.mp4", "", kRLTypeMP4},
        {"/media/a.webm", "", kRLTypeMKV},
        {"/media.dpx/readme", "", RL_UNKNOWN}, // the dot is in a directory name
        {"/media/trailing.", "", RL_UNKNOWN},
        {"/media/noext", "", RL_UNKNOWN},
    };
    for (const Row& row : rows) {
        const uint8_t* head =
            row.head.empty() ? nullptr : reinterpret_cast<const uint8_t*>(row.head.data());
        EXPECT_EQ(reelio::GuessFileType(row.path, head, row.head.size()), row.type) << row.path;
    }
}

// --- DPX ----------------------------------------------------------------

MediaDescription ReadDpx(const Bytes& b) {
    MediaDescription media;
    EXPECT_TRUE(reelio::ReadDpxHeader(b.data(), b.size(), media));
    return media;
}

uint32_t Number(const MediaDescription& media, int index) {
    return media.numbers[static_cast<std::size_t>(index)].value_or(RL_UNKNOWN);
}

TEST(ReelioDpx, GeometryAndBitsOfBothByteOrders) {
    struct Row {
        bool bigEndian;
        uint8_t descriptor, bitSize;
        uint16_t packing;
        uint16_t bitCount;
    };
    const Row rows[] = {
        {true, 50, 10, 1, 32},   // RGB 10-bit filled in 32-bit words
        {false, 50, 10, 1, 32},  //
        {true, 50, 10, 0, 30},   // packed
        {false, 50, 8, 0, 24},   //
        {true, 51, 16, 0, 64},   // RGBA
        {false, 100, 10, 1, 22}, // 4:2:2, three samples a word
        {true, 6, 12, 1, 16},    // luma, 12 bits in 16
    };
    for (const Row& row : rows) {
        const MediaDescription media =
            ReadDpx(DpxHeader(row.bigEndian, 1920, 1080, row.descriptor, row.bitSize, row.packing));
        ASSERT_EQ(media.streams.size(), 1u);
        const auto& picture = media.streams[0].picture;
        ASSERT_TRUE(picture.has_value());
        EXPECT_EQ(picture->width, 1920);
        EXPECT_EQ(picture->height, -1080) << "rows run top to bottom";
        EXPECT_EQ(picture->bitCount, row.bitCount)
            << int(row.descriptor) << "/" << int(row.bitSize);
        EXPECT_EQ(picture->pitch, (1920u * row.bitCount + 31) / 32 * 4);
        EXPECT_EQ(picture->sizeImage, picture->pitch * 1080u);
        EXPECT_EQ(media.streams[0].length.value_or(0), 1u);
    }
}

TEST(ReelioDpx, RatesAndTimeCode) {
    struct Row {
        float tvRate, filmRate; // 0: left undefined
        uint32_t timeCode;      // BCD, 0xFFFFFFFF undefined
        uint32_t rate, scale;   // scale 0: no rate
        uint32_t frames, type;  // type 0: no timecode
    };
    const Row rows[] = {
        {25.0f, 0, 0x01000000, 25, 1, 90000, 8},
        {0, 24.0f, 0x10000000, 24, 1, 864000, 1},        // film header only
        {25.0f, 24.0f, 0x00000010, 25, 1, 10, 8},        // the television rate wins
        {29.97f, 0, 0x01000040, 30000, 1001, 107892, 4}, // drop-frame flag
        {29.97f, 0, 0x01000000, 30000, 1001, 108000, 2}, //
        {23.976f, 0, 0x00000105, 24000, 1001, 29, 132},  //
        {0, 0, 0x01000000, 0, 0, 86400, 1},              // no rate: counted as film
        {25.0f, 0, 0xFFFFFFFF, 25, 1, 0, 0},             // undefined timecode
        {25.0f, 0, 0x0100002A, 25, 1, 0, 0},             // not BCD
        {25.0f, 0, 0x01000025, 25, 1, 0, 0},             // frame 25 at 25 fps
    };
    for (const Row& row : rows) {
        for (bool bigEndian : {false, true}) {
            Bytes b = DpxHeader(bigEndian, 64, 48, 50, 8, 0);
            if (row.tvRate != 0) {
                PutFloat(b, 1940, row.tvRate, bigEndian);
            }
            if (row.filmRate != 0) {
                PutFloat(b, 1724, row.filmRate, bigEndian);
            }
            Put32(b, 1920, row.timeCode, bigEndian);
            const MediaDescription media = ReadDpx(b);
            ASSERT_EQ(media.streams.size(), 1u);
            SCOPED_TRACE(testing::Message() << std::hex << row.timeCode << " be=" << bigEndian);
            EXPECT_EQ(media.streams[0].scale, row.scale);
            EXPECT_EQ(media.streams[0].rate, row.rate);
            if (row.type == 0) {
                EXPECT_EQ(Number(media, kRLTimeCode), RL_UNKNOWN);
                EXPECT_EQ(Number(media, kRLTimeCodeType), RL_UNKNOWN);
            } else {
                EXPECT_EQ(Number(media, kRLTimeCode), row.frames);
                EXPECT_EQ(Number(media, kRLTimeCodeType), row.type);
            }
        }
    }
}

TEST(ReelioDpx, FilmFieldsAndTexts) {
    Bytes b = DpxHeader(true, 2048, 1556, 50, 10, 1);
    Put32(b, 1712, 86401, true); // frame position
    Put32(b, 1716, 240, true);   // sequence length
    Put32(b, 1924, 0x12345678, true);
    b[1664] = '0';
    b[1665] = '7';
    PutText(b, 160, "Scanner 3.1");
    PutText(b, 460, "(c) Studio");
    PutText(b, 1764, "Scene 4 take 2");
    const MediaDescription media = ReadDpx(b);
    EXPECT_EQ(Number(media, kRLSequenceNumber), 86401u);
    EXPECT_EQ(Number(media, kRLTotalLength), 240u);
    EXPECT_EQ(Number(media, kRLUserBits), 0x12345678u);
    EXPECT_EQ(Number(media, 18), 7u);         // film manufacturer
    EXPECT_EQ(Number(media, 19), RL_UNKNOWN); // film type left undefined
    EXPECT_EQ(media.texts[kRLMetaSoftware - 1], "Scanner 3.1");
    EXPECT_EQ(media.texts[kRLMetaCopyright - 1], "(c) Studio");
    EXPECT_EQ(media.texts[69 - 1], "Scene 4 take 2");
    EXPECT_TRUE(media.texts[20 - 1].empty()) << "undefined text fields stay empty";
}

TEST(ReelioDpx, WithoutIndustryHeadersOrCutShort) {
    // Industry size 0: the bytes at 1920 are picture data, not a timecode.
    Bytes b = DpxHeader(false, 64, 48, 50, 8, 0);
    Put32(b, 28, 0, false);
    Put32(b, 1920, 0x01000000, false);
    PutFloat(b, 1940, 25.0f, false);
    MediaDescription media = ReadDpx(b);
    EXPECT_EQ(Number(media, kRLTimeCode), RL_UNKNOWN);
    EXPECT_EQ(media.streams[0].scale, 0u);

    // Cut inside the television header: geometry only.
    Bytes cut = DpxHeader(false, 64, 48, 50, 8, 0);
    Put32(cut, 1920, 0x01000000, false);
    cut.resize(1930);
    media = ReadDpx(cut);
    EXPECT_EQ(media.streams[0].picture->width, 64);
    EXPECT_EQ(Number(media, kRLTimeCode), RL_UNKNOWN);

    struct Bad {
        const char* why;
        Bytes bytes;
    };
    Bytes zeroWidth = DpxHeader(true, 0, 48, 50, 8, 0);
    Bytes undefinedHeight = DpxHeader(true, 64, 0xFFFFFFFF, 50, 8, 0);
    Bytes wrongMagic = DpxHeader(true, 64, 48, 50, 8, 0);
    wrongMagic[0] = 'X';
    Bytes shortHeader = DpxHeader(true, 64, 48, 50, 8, 0);
    shortHeader.resize(800);
    for (const Bad& bad : {Bad{"zero width", zeroWidth}, Bad{"undefined height", undefinedHeight},
                           Bad{"wrong magic", wrongMagic}, Bad{"short", shortHeader}}) {
        MediaDescription none;
        EXPECT_FALSE(reelio::ReadDpxHeader(bad.bytes.data(), bad.bytes.size(), none)) << bad.why;
    }
}

// --- WAVE ---------------------------------------------------------------

// Reads a whole file held in memory the way rlOpen reads one from disk.
bool ReadWave(const Bytes& file, MediaDescription& media, std::size_t window = 64 * 1024) {
    reelio::WavReader reader(file.size());
    uint64_t at = 0;
    for (int i = 0; i < 8 && (i == 0 || at != 0); ++i) {
        const std::size_t n = at < file.size() ? std::min(window, file.size() - at) : 0;
        at = reader.Feed(file.data() + at, n, at);
    }
    return reader.Finish(media);
}

TEST(ReelioWave, FormatsAndLengths) {
    struct Row {
        const char* why;
        uint16_t tag, channels, bits;
        uint32_t rate, dataBytes, claimed;
        uint16_t audioType;
        uint32_t length;
    };
    const Row rows[] = {
        {"stereo 16-bit", 1, 2, 16, 48000, 48000 * 4, 48000 * 4, 1, 48000},
        {"mono 24-bit", 1, 1, 24, 44100, 300, 300, 1, 100},
        {"float", 3, 2, 32, 96000, 800, 800, 3, 100},
        {"cut short", 1, 2, 16, 48000, 400, 48000 * 4, 1, 100},
        {"odd data size padded", 1, 1, 8, 8000, 7, 7, 1, 7},
    };
    for (const Row& row : rows) {
        Bytes file = WaveStart();
        AppendChunk(file, "fmt ", FmtBody(row.tag, row.channels, row.rate, row.bits), 16);
        AppendChunk(file, "data", Bytes(row.dataBytes, 0), row.claimed);
        if (row.claimed > row.dataBytes) {
            file.resize(file.size() - (row.dataBytes % 2)); // really cut, no padding
        }
        MediaDescription media;
        ASSERT_TRUE(ReadWave(file, media)) << row.why;
        ASSERT_EQ(media.streams.size(), 1u);
        const auto& stream = media.streams[0];
        ASSERT_TRUE(stream.sound.has_value());
        EXPECT_EQ(stream.sound->audioType, row.audioType) << row.why;
        EXPECT_EQ(stream.sound->channels, row.channels) << row.why;
        EXPECT_EQ(stream.sound->frequency, row.rate) << row.why;
        EXPECT_EQ(stream.sound->bits, row.bits) << row.why;
        EXPECT_EQ(stream.sound->blockAlign, row.channels * row.bits / 8) << row.why;
        EXPECT_EQ(stream.sound->bytesPerSecond, row.rate * row.channels * row.bits / 8);
        EXPECT_EQ(stream.rate, row.rate);
        EXPECT_EQ(stream.scale, 1u);
        EXPECT_EQ(stream.length.value_or(0), row.length) << row.why;
    }
}

TEST(ReelioWave, ExtensibleRf64AndTexts) {
    // WAVE_FORMAT_EXTENSIBLE with a float sub-format.
    Bytes fmt = FmtBody(0xFFFE, 2, 48000, 32);
    fmt.resize(40, 0);
    Put16(fmt, 16, 22, false);
    Put16(fmt, 24, 3, false);
    Bytes info = {'I', 'N', 'F', 'O'};
    AppendChunk(info, "INAM", {'T', 'o', 'n', 'e', 0}, 5);
    AppendChunk(info, "ISFT", {'m', 'i', 'x', 0}, 4);
    // A 100000-byte sound chunk pushes the texts past the first window.
    Bytes file = WaveStart();
    AppendChunk(file, "fmt ", fmt, 40);
    AppendChunk(file, "data", Bytes(100000, 0), 100000);
    AppendChunk(file, "LIST", info, static_cast<uint32_t>(info.size()));
    MediaDescription media;
    ASSERT_TRUE(ReadWave(file, media));
    EXPECT_EQ(media.streams[0].sound->audioType, 3);
    EXPECT_EQ(media.streams[0].length.value_or(0), 100000u / 8);
    EXPECT_EQ(media.texts[kRLMetaTitle - 1], "Tone");
    EXPECT_EQ(media.texts[kRLMetaSoftware - 1], "mix");

    // RF64: the sizes live in the ds64 chunk.
    Bytes ds64(28, 0);
    Put32(ds64, 8, 4000, false); // data size, low half
    Bytes rf64 = WaveStart("RF64");
    AppendChunk(rf64, "ds64", ds64, 28);
    AppendChunk(rf64, "fmt ", FmtBody(1, 2, 48000, 16), 16);
    AppendChunk(rf64, "data", Bytes(4000, 0), 0xFFFFFFFF);
    MediaDescription big;
    ASSERT_TRUE(ReadWave(rf64, big));
    EXPECT_EQ(big.streams[0].length.value_or(0), 1000u);
}

TEST(ReelioWave, RefusesWhatIsNotUsableSound) {
    Bytes noFormat = WaveStart();
    AppendChunk(noFormat, "data", Bytes(16, 0), 16);
    Bytes noChannels = WaveStart();
    AppendChunk(noChannels, "fmt ", FmtBody(1, 0, 48000, 16), 16);
    Bytes shortFormat = WaveStart();
    AppendChunk(shortFormat, "fmt ", Bytes(8, 1), 8);
    Bytes notWave = WaveStart();
    std::memcpy(notWave.data() + 8, "AVI ", 4);
    AppendChunk(notWave, "fmt ", FmtBody(1, 2, 48000, 16), 16);
    // A chunk claiming 4 GB must not send the walk astray.
    Bytes hugeChunk = WaveStart();
    AppendChunk(hugeChunk, "junk", Bytes(4, 0), 0xFFFFFFF0u);
    for (const Bytes* file : {&noFormat, &noChannels, &shortFormat, &notWave, &hugeChunk}) {
        MediaDescription media;
        EXPECT_FALSE(ReadWave(*file, media));
        EXPECT_TRUE(media.streams.empty());
    }
}

} // namespace

// The generic record rendering, printed compactly and read back with TinyXML,
// as a client would.
#include "kxr/kxrutil.h"
#include "kxr/tempex.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cstring>
#include <string>
#include <tuple>
#include <utility>

MediaCmd DefaultRecord() {
    MediaCmd r{};
    r.size = kMediaCmdStandardSize;
    r.videoChannels = r.audioChannels = r.infoChannels = 0xFFFFFFFFu;
    return r;
}

// The printed answer read back; fails the test when it is not well formed.
struct Answer {
    Answer(const MediaCmd& record, uint32_t tcType) {
        TiXmlDocument made;
        EXPECT_EQ(MediaCmdToXML(&made, &record, tcType), 1);
        TiXmlPrinter printer;
        printer.SetStreamPrinting();
        made.Accept(&printer);
        text = printer.CStr();
        TiXmlBase::SetCondenseWhiteSpace(false);
        document.Parse(text.c_str());
        EXPECT_FALSE(document.Error()) << document.ErrorDesc() << "\n" << text;
    }
    // "-" when the element is missing; its text after '|' when it differs from its value.
    std::string Get(const char* name, const char* attr = "Value") {
        const TiXmlElement* e =
            TiXmlHandle(&document).FirstChildElement().FirstChildElement(name).ToElement();
        if (e == nullptr)
            return "-";
        const std::string value = e->Attribute(attr) ? e->Attribute(attr) : "<none>";
        const std::string body = e->GetText() ? e->GetText() : "";
        return std::string(attr) != "Value" || body == value ? value : value + "|" + body;
    }
    std::string text;
    TiXmlDocument document;
};

TEST(MediaCmdToXml, EnvelopeWordsAndNumericFields) {
    const std::string head = "<?xml version=\"1.0\" encoding=\"iso-8859-1\" ?><MediaCmd>"
                             "<!-- Tarvik MediaCmd xml structure version 1,0 -->";
    const std::pair<uint32_t, const char*> words[] = {
        {0, "Stop"}, {11, "ChanSelect"}, {14, "GetValue"}, {16, "ValueSupported"}, {19, "Abort"},
        {20, ""},    {21, "Switch"},     {22, ""},         {0xFFFFFFFFu, ""}};
    const std::pair<const char*, const char*> fields[] = {
        {"Channel", "3"},      {"Flags", "0x82002040"},         {"Speed", "-65520"},
        {"CmdAlt", "1000007"}, {"VideoChannels", "0x00000003"}, {"InfoChannels", "0xFFFFFFFF"},
        {"Size", "4188"}};
    MediaCmd record = DefaultRecord();
    record.channel = 3;
    record.flags = MCF_NORETURN | MCF_FROMTEXT | MCF_TEXT | MCF_POSITION_ABS;
    record.speed = -65520;
    record.videoChannels = 0x3;
    record.cmdAlt = 1000007;
    for (const auto& [code, word] : words) {
        record.cmd = code;
        Answer answer(record, kTcNonDrop);
        EXPECT_EQ(answer.text.find(head), 0u) << answer.text;
        EXPECT_EQ(answer.Get("Cmd"), word) << code;
        EXPECT_EQ(answer.Get("CmdCode"), std::to_string(code));
        for (const auto& [name, value] : fields)
            EXPECT_EQ(answer.Get(name), value) << name;
    }
}

// Value|timecode text, and the TcType name; -1 is "not set": no text. The
// caller's flag bits above the type code are not part of the type.
TEST(MediaCmdToXml, PositionsAsTimecodeOfTheGivenType) {
    const std::tuple<uint32_t, int32_t, const char*, const char*> rows[] = {
        {kTcDropFrame, 17982, "17982|00:10:00;00", "drop-frame"},
        {kTcPal, -25, "-25|-00:00:01:00", "pal"},
        {kTcFrames, 12345, "12345", "frames"},
        {kTcNone, -2, "-2", ""},
        {3, 30, "30|00:00:01:00", "non-drop-frame"},
        {kTcPal | TEMPEX_FLAG_LENIENT, 25, "25|00:00:01:00", "pal"},
        {kTcPal, -1, "-1|", "pal"}};
    for (const auto& [type, frames, expected, name] : rows) {
        MediaCmd record = DefaultRecord();
        record.position = frames;
        Answer answer(record, type);
        EXPECT_EQ(answer.Get("Position"), expected) << type;
        EXPECT_EQ(answer.Get("Start", "TcType"), name) << type;
    }
}

// Clip, file, target and text elements ("-": absent) for text-area contents, sizes and flags.
TEST(MediaCmdToXml, ReadsTheTextAreaWithinItsBounds) {
    using namespace std::string_literals;
    const std::string xs(kMediaCmdTextSize, 'x'), tail(kMediaCmdTextSize - 13, 'y');
    const std::tuple<uint32_t, std::string, uint32_t, std::string> rows[] = {
        {MCF_TEXT, "CLIP0001\0a b.mov\0c.mov"s, 4188, "CLIP0001,a b.mov,c.mov,CLIP0001"},
        {0, "ab\0\0\0\0\0\0\0file.mov"s, 4188, "-,-,-,ab"},
        {MCF_TEXT, "\0\0\0\0\0\0\0\0\0file.mov\0target"s, 4188, "-,file.mov,target,-"},
        {MCF_TEXT, xs, 0xFFFFFFFFu, "-,-,-," + xs}, // size past the record: cut at the area
        {MCF_TEXT, xs, 76 + 24, "-,-,-," + std::string(24, 'x')},
        {MCF_TEXT, xs, 12, "-,-,-,-"},
        {MCF_TEXT, "CLIP\0\0\0\0\0abcdef\0target"s, 76 + 12, "CLIP,abc,-,CLIP"},
        {MCF_TEXT, "\0yyyyyyy\0yyy\0"s + tail, 4188, "-,yyy," + tail + ",-"},
        // Every iso-8859-1 byte kept; control characters XML forbids become '?'.
        {MCF_TEXT, "Caf\xE9\0\0\0\0\0\xC0 & <b> \"q\" 'a' &#x41; &amp;\x01\x1F\t\xFF\x80.mov"s,
         4188, "Caf\xE9,\xC0 & <b> \"q\" 'a' &#x41; &amp;??\t\xFF\x80.mov,-,Caf\xE9"},
    };
    std::string printed;
    for (const auto& [flags, bytes, size, expected] : rows) {
        MediaCmd record = DefaultRecord();
        record.flags = flags;
        record.size = size;
        std::memcpy(record.text, bytes.data(), bytes.size());
        Answer answer(record, kTcPal);
        const std::string got = answer.Get("ClipName") + "," + answer.Get("FileName") + ",";
        EXPECT_EQ(got + answer.Get("TargetName") + "," + answer.Get("Text"), expected) << size;
        printed += answer.text;
    }
    EXPECT_NE(printed.find("Caf\xE9<"), std::string::npos); // raw bytes, not references
}

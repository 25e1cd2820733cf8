// The generic record rendering, checked by printing it compactly and reading it
// back with TinyXML, as a client would.
#include "kxr/kxrutil.h"
#include "kxr/tempex.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cstring>
#include <string>

namespace {

MediaCmd DefaultRecord() {
    MediaCmd r;
    std::memset(&r, 0, sizeof r);
    r.structId = static_cast<uint32_t>(kMediaCmdStructId);
    r.size = kMediaCmdStandardSize;
    r.channel = -1;
    r.cmd = kCmdPause;
    r.speed = 0x7FFFFFFF;
    r.videoChannels = r.audioChannels = r.infoChannels = 0xFFFFFFFFu;
    r.position = r.start = r.end = -1;
    return r;
}

std::string Render(const MediaCmd& record, uint32_t tcType) {
    TiXmlDocument document;
    EXPECT_EQ(MediaCmdToXML(&document, &record, tcType), 1);
    TiXmlPrinter printer;
    printer.SetStreamPrinting();
    document.Accept(&printer);
    return printer.CStr();
}

// The printed answer read back; fails the test when it is not well formed.
class Answer {
public:
    Answer(const MediaCmd& record, uint32_t tcType) : text_(Render(record, tcType)) {
        TiXmlBase::SetCondenseWhiteSpace(false);
        document_.Parse(text_.c_str());
        EXPECT_FALSE(document_.Error()) << document_.ErrorDesc() << "\n" << text_;
        root_ = document_.RootElement();
        EXPECT_NE(root_, nullptr);
    }
    const std::string& text() const { return text_; }
    const TiXmlElement* Find(const char* name) const {
        return root_ ? root_->FirstChildElement(name) : nullptr;
    }
    bool Has(const char* name) const { return Find(name) != nullptr; }
    std::string Value(const char* name) const {
        const TiXmlElement* e = Find(name);
        const char* v = e ? e->Attribute("Value") : nullptr;
        return v ? v : "<missing>";
    }
    std::string Text(const char* name) const {
        const TiXmlElement* e = Find(name);
        if (e == nullptr) {
            return "<missing>";
        }
        return e->GetText() ? e->GetText() : "";
    }
    std::string Attr(const char* name, const char* attr) const {
        const TiXmlElement* e = Find(name);
        const char* v = e ? e->Attribute(attr) : nullptr;
        return v ? v : "<missing>";
    }

private:
    std::string text_;
    TiXmlDocument document_;
    const TiXmlElement* root_ = nullptr;
};

TEST(MediaCmdToXml, RefusesNullArguments) {
    MediaCmd record = DefaultRecord();
    TiXmlDocument document;
    EXPECT_EQ(MediaCmdToXML(nullptr, &record, 2), 0);
    EXPECT_EQ(MediaCmdToXML(&document, nullptr, 2), 0);
    EXPECT_EQ(document.FirstChild(), nullptr);
}

TEST(MediaCmdToXml, PrintsTheCommonEnvelope) {
    Answer answer(DefaultRecord(), kTcNonDrop);
    const std::string head = "<?xml version=\"1.0\" encoding=\"iso-8859-1\" ?><MediaCmd>"
                             "<!-- Tarvik MediaCmd xml structure version 1,0 -->";
    EXPECT_EQ(answer.text().substr(0, head.size()), head);
    EXPECT_EQ(answer.text().find('\n'), std::string::npos);
    EXPECT_EQ(answer.text().substr(answer.text().size() - 11), "</MediaCmd>");
}

TEST(MediaCmdToXml, ReplacesWhatTheDocumentHeld) {
    TiXmlDocument document;
    document.LinkEndChild(new TiXmlElement("Old"));
    MediaCmd record = DefaultRecord();
    ASSERT_EQ(MediaCmdToXML(&document, &record, kTcPal), 1);
    ASSERT_NE(document.RootElement(), nullptr);
    EXPECT_STREQ(document.RootElement()->Value(), "MediaCmd");
    EXPECT_EQ(document.RootElement()->NextSiblingElement(), nullptr);
}

TEST(MediaCmdToXml, NamesEveryCommand) {
    const struct {
        uint32_t code;
        const char* word;
    } rows[] = {
        {0, "Stop"},
        {1, "Pause"},
        {2, "Play"},
        {3, "Record"},
        {4, "RecStop"},
        {5, "Eject"},
        {6, "Transfer"},
        {7, "Insert"},
        {8, "Blank"},
        {9, "Delete"},
        {10, "Trim"},
        {11, "ChanSelect"},
        {12, "GetState"},
        {13, "SetState"},
        {14, "GetValue"},
        {15, "SetValue"},
        {16, "ValueSupported"},
        {17, "Error"},
        {18, "Terminate"},
        {19, "Abort"},
        {20, ""},
        {21, "Switch"},
        {22, ""},
        {0xFFFFFFFFu, ""},
    };
    for (const auto& row : rows) {
        MediaCmd record = DefaultRecord();
        record.cmd = row.code;
        Answer answer(record, kTcNonDrop);
        EXPECT_EQ(answer.Value("Cmd"), row.word) << row.code;
        EXPECT_EQ(answer.Text("Cmd"), row.word) << row.code;
        EXPECT_EQ(answer.Value("CmdCode"), std::to_string(row.code));
        EXPECT_EQ(answer.Text("CmdCode"), std::to_string(row.code));
    }
}

TEST(MediaCmdToXml, WritesTheNumericFields) {
    MediaCmd record = DefaultRecord();
    record.cmd = kCmdGetState;
    record.channel = 3;
    record.flags = MCF_NORETURN | MCF_FROMTEXT | MCF_TEXT | MCF_POSITION_ABS;
    record.speed = -65520;
    record.videoChannels = 0x3;
    record.audioChannels = 0xFF;
    record.cmdAlt = 1000007;
    Answer answer(record, kTcPal);
    const struct {
        const char* name;
        const char* value;
    } rows[] = {
        {"Channel", "3"},
        {"Flags", "0x82002040"},
        {"Speed", "-65520"},
        {"VideoChannels", "0x00000003"},
        {"AudioChannels", "0x000000FF"},
        {"InfoChannels", "0xFFFFFFFF"},
        {"CmdAlt", "1000007"},
        {"Size", "4188"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(answer.Value(row.name), row.value) << row.name;
        EXPECT_EQ(answer.Text(row.name), row.value) << row.name;
    }
}

TEST(MediaCmdToXml, WritesPositionsAsTimecodeOfTheGivenType) {
    const struct {
        uint32_t tcType;
        int32_t frames;
        const char* text;
        const char* name;
    } rows[] = {
        {kTcPal, 250, "00:00:10:00", "pal"},
        {kTcNonDrop, 108000, "01:00:00:00", "non-drop-frame"},
        {kTcDropFrame, 1800, "00:01:00;02", "drop-frame"},
        {kTcDropFrame, 17982, "00:10:00;00", "drop-frame"},
        {kTcFilm, 24, "00:00:01:00", "film"},
        {kTc2398, 48, "00:00:02:00", "23.98"},
        {kTc50, 50, "00:00:01:00", "50"},
        {kTcPal, -25, "-00:00:01:00", "pal"},
        {kTcFrames, 12345, "12345", "frames"},
        {kTcNone, 1234, "1234", ""},
        {kTcNone, -2, "-2", ""},
        {3, 30, "00:00:01:00", "non-drop-frame"},
        // Flag bits above the code are the caller's, not part of the type.
        {kTcPal | TEMPEX_FLAG_LENIENT, 25, "00:00:01:00", "pal"},
    };
    for (const auto& row : rows) {
        MediaCmd record = DefaultRecord();
        record.position = row.frames;
        record.start = 0;
        Answer answer(record, row.tcType);
        const std::string where = std::to_string(row.tcType) + "/" + std::to_string(row.frames);
        EXPECT_EQ(answer.Value("Position"), std::to_string(row.frames)) << where;
        EXPECT_EQ(answer.Text("Position"), row.text) << where;
        EXPECT_EQ(answer.Attr("Position", "TcType"), row.name) << where;
        EXPECT_EQ(answer.Attr("Start", "TcType"), row.name) << where;
        EXPECT_EQ(answer.Value("Start"), "0") << where;
    }
}

TEST(MediaCmdToXml, ShowsAnUnsetPositionWithoutText) {
    MediaCmd record = DefaultRecord();
    record.end = 75;
    Answer answer(record, kTcPal);
    for (const char* name : {"Position", "Start"}) {
        EXPECT_EQ(answer.Value(name), "-1") << name;
        EXPECT_EQ(answer.Text(name), "") << name;
        EXPECT_EQ(answer.Attr(name, "TcType"), "pal") << name;
    }
    EXPECT_EQ(answer.Text("End"), "00:00:03:00");
}

// Rows of text-area contents: which of the four text elements appear, and
// with what; "-" marks an element that must be absent.
TEST(MediaCmdToXml, ReadsTheTextAreaWithinItsBounds) {
    using namespace std::string_literals;
    const std::string xs(kMediaCmdTextSize, 'x');
    const std::string tail(kMediaCmdTextSize - 13, 'y');
    const struct {
        const char* what;
        uint32_t flags;
        std::string bytes;
        uint32_t size;
        std::string clip, file, target, text;
    } rows[] = {
        {"names", MCF_TEXT, "CLIP0001\0a b.mov\0c.mov"s, 4188, "CLIP0001", "a b.mov", "c.mov",
         "CLIP0001"},
        {"empty", MCF_TEXT, ""s, 4188, "-", "-", "-", "-"},
        {"unflagged", 0, "ab\0\0\0\0\0\0\0file.mov"s, 4188, "-", "-", "-", "ab"},
        {"file only", MCF_TEXT, "\0\0\0\0\0\0\0\0\0file.mov\0target"s, 4188, "-", "file.mov",
         "target", "-"},
        // A GetValue answer: a path written over the clip and file fields.
        {"long path", MCF_TEXT | MCF_CMDALT, "/srv/media/img/clip.picon.jpg"s, 4188, "-", "-", "-",
         "/srv/media/img/clip.picon.jpg"},
        {"unterminated", MCF_TEXT, xs, 4188, "-", "-", "-", xs},
        {"size past the record", MCF_TEXT, xs, 0xFFFFFFFFu, "-", "-", "-", xs},
        {"short size", MCF_TEXT, xs, 76 + 24, "-", "-", "-", std::string(24, 'x')},
        {"no text area", MCF_TEXT, xs, 76, "-", "-", "-", "-"},
        {"size below the header", MCF_TEXT, xs, 12, "-", "-", "-", "-"},
        {"file cut by size", MCF_TEXT, "CLIP\0\0\0\0\0abcdef\0target"s, 76 + 12, "CLIP", "abc", "-",
         "CLIP"},
        {"target to the end", MCF_TEXT, "\0yyyyyyy\0yyy\0"s + tail, 4188, "-", "yyy", tail, "-"},
    };
    for (const auto& row : rows) {
        MediaCmd record = DefaultRecord();
        record.flags = row.flags;
        record.size = row.size;
        std::memcpy(record.text, row.bytes.data(), row.bytes.size());
        Answer answer(record, kTcPal);
        const struct {
            const char* name;
            const std::string& expected;
        } fields[] = {{"ClipName", row.clip},
                      {"FileName", row.file},
                      {"TargetName", row.target},
                      {"Text", row.text}};
        for (const auto& field : fields) {
            if (field.expected == "-") {
                EXPECT_FALSE(answer.Has(field.name)) << row.what << ": " << field.name;
            } else {
                EXPECT_EQ(answer.Text(field.name), field.expected)
                    << row.what << ": " << field.name;
                EXPECT_EQ(answer.Value(field.name), field.expected)
                    << row.what << ": " << field.name;
            }
        }
    }
}

TEST(MediaCmdToXml, KeepsEveryByteOfIsoLatinText) {
    MediaCmd record = DefaultRecord();
    record.flags = MCF_TEXT;
    std::strcpy(record.text, "Caf\xE9");
    std::strcpy(record.text + 9, "\xC0 & <b> \"q\" 'a' &#x41; &amp;\x01\x1F\t\xFF\x80.mov");
    Answer answer(record, kTcPal);
    const std::string expected = "\xC0 & <b> \"q\" 'a' &#x41; &amp;??\t\xFF\x80.mov";
    EXPECT_EQ(answer.Text("FileName"), expected);
    EXPECT_EQ(answer.Value("FileName"), expected);
    EXPECT_EQ(answer.Text("ClipName"), "Caf\xE9");
    // Written as raw iso-8859-1 bytes, not as references or UTF-8.
    EXPECT_NE(answer.text().find("Caf\xE9<"), std::string::npos);
}

} // namespace

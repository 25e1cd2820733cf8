// The system overview of all channels, the audio and video settings of one
// channel, and the revisions page with its download links.
#include <cstdio>
#include <string>

#include "answer/my_http_client.h"
#include "api/pages.h"
#include "api/pages_common.h"
#include "binding/engine_binding.h"
#include "httpd/html_text.h"
#include "media/media_cmd.h"

namespace kxr {

namespace {

void AppendHex(std::string& text, uint32_t value) {
    char digits[12];
    std::snprintf(digits, sizeof digits, "%x", value);
    text += digits;
}

// One settings row of the audio and video pages.
void AppendRow(std::string& text, const char* label, const std::string& value) {
    text += "\n <TR>\n  <TD width=100>";
    text += label;
    text += "</TD><TD>";
    text += value;
    text += "</TD>\n </TR>";
}

void AppendValueRow(std::string& text, const char* opening, uint32_t value) {
    text += opening;
    AppendDecimal(text, VideoValuePercent(value));
    text += "</TD>\n </TR>";
}

constexpr uint32_t kNoReading = 0xFFFFFFFFu;

} // namespace

int32_t BuildSystemPage(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                        CHttpRequest* /*request*/) {
    const EngineTable& engine = Engine();
    std::string text = "<HTML>\n  <HEAD>\n<TITLE>KXR System (Generated)</TITLE>\n\n";
    text += kPageHeadLines;
    text += "  </HEAD>\n<BODY>\n<P><H1 class=\"pageheader\">KXR System</H1></P>";
    char* systemText = engine.getSystemText(static_cast<int32_t>(client->channel));
    if (systemText != nullptr) {
        text += systemText;
    }
    text += "<BR>\n";
    const uint32_t count = engine.getChannelCount();
    AppendDecimal(text, count);
    text += " Channels<BR>\n";
    // Set once: a channel whose engine leaves a mask alone shows the previous
    // channel's.
    uint32_t video = 1;
    uint32_t audio = 3;
    uint32_t info = 0;
    for (uint32_t k = 0; k < count; ++k) {
        const auto channel = static_cast<int32_t>(k);
        text += "\n\n<HR><CENTER><B>Channel ";
        AppendDecimal(text, k);
        text += "</B></CENTER><BR>\n<TABLE cellSpacing=\"2\" cellPadding=\"2\" border=\"2\">";
        char name[kEngineNameSize] = {};
        engine.getChannelName(channel, name);
        name[kEngineNameSize - 1] = '\0';
        text += "\n <TR><TD colSpan=\"2\">";
        httpd::AppendHtmlText(text, name);
        text += "</TD></TR>\n";
        text += "\n <TR><TD width=\"100\">Type</TD><TD width=\"250\">";
        AppendDecimal(text, engine.getChannelType(channel));
        text += "</TD></TR>";
        engine.getChannelMasks(channel, &video, &audio, &info);
        text += "\n <TR><TD>Presets</TD><TD>V-0x";
        AppendHex(text, video);
        text += " A-0x";
        AppendHex(text, audio);
        text += " I-0x";
        AppendHex(text, info);
        text += "</TD></TR>";
        text += "\n <TR><TD>Mode</TD><TD>";
        text += ChannelModeName(engine.getMode(channel));
        text += "</TD></TR>";
        text += "\n <TR><TD>TC Type</TD><TD>";
        text += TcTypeLongName(GetChannelTcType(channel));
        text += "</TD></TR>\n</TABLE>";
    }
    text += "\n<center><a href=\"KXRSystem\">[REFRESH]</A></center><BR>\n</BODY></HTML>\n\r";
    engine.freeText(systemText);
    return MakeAnswerBody(text, bodyOut, lengthOut);
}

int32_t BuildAudioPage(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                       CHttpRequest* /*request*/) {
    const EngineTable& engine = Engine();
    const auto channel = static_cast<int32_t>(client->channel);
    const uint32_t inLevel = AudioLevelPercent(engine.getAudioInLevel(channel));
    const uint32_t outLevel = AudioLevelPercent(engine.getAudioOutLevel(channel));
    uint32_t video = 1;
    uint32_t audio = 3;
    uint32_t info = 0;
    engine.getChannelMasks(channel, &video, &audio, &info);
    const uint32_t channels = ChannelCountFromMask(audio, 1);

    std::string text = "<HTML><HEAD><TITLE>KXR Audio (Generated)</TITLE>\n";
    text += kPageHeadLines;
    text += "</HEAD><BODY><P><H1 class=pageheader>KXR Audio</H1></P>";
    text += "\n<TABLE cellSpacing=2 cellPadding=2 border=2>";
    AppendRow(text, "Channels", std::to_string(channels));
    AppendRow(text, "Input", AudioConnectionName(engine.getAudioInput(channel)));
    AppendRow(text, "In Level", std::to_string(inLevel));
    AppendRow(text, "Output", AudioConnectionName(engine.getAudioOutput(channel)));
    AppendRow(text, "Out Level", std::to_string(outLevel));
    // The table is left open, as browsers forgive.
    text += "</BODY></HTML>\r\n";
    return MakeAnswerBody(text, bodyOut, lengthOut);
}

int32_t BuildVideoPage(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                       CHttpRequest* /*request*/) {
    const EngineTable& engine = Engine();
    const auto channel = static_cast<int32_t>(client->channel);
    // The first adjustment set exists only on some inputs; the second always.
    uint32_t level, setup, hue, chroma;
    if (engine.getSetupA(channel) != kNoReading) {
        level = engine.getVideoLevelA(channel);
        setup = engine.getSetupA(channel);
        hue = engine.getHueA(channel);
        chroma = engine.getChromaA(channel);
    } else {
        level = engine.getVideoLevelB(channel);
        setup = engine.getSetupB(channel);
        hue = engine.getHueB(channel);
        chroma = engine.getChromaB(channel);
    }

    std::string text = "<HTML><HEAD><TITLE>KXR Video (Generated)</TITLE>\n";
    text += kPageHeadLines;
    text += "</HEAD><BODY><P><H1 class=pageheader>KXR Video</H1></P>";
    text += "\n<TABLE cellSpacing=2 cellPadding=2 border=2>";
    AppendRow(text, "Input", VideoInputName(engine.getVideoInput(channel)));
    if (level != kNoReading) {
        AppendValueRow(text, "\n <TR>\n  <TD width=100>Video</TD><TD>", level);
    }
    if (setup != kNoReading) {
        AppendValueRow(text, "\n <TR>\n  <TD width=75>Setup</TD><TD>", setup);
    }
    if (hue != kNoReading) {
        AppendValueRow(text, "\n <TR>\n  <TD>Hue</TD><TD>", hue);
    }
    if (chroma != kNoReading) {
        AppendValueRow(text, "\n <TR>\n  <TD>Chroma</TD><TD>", chroma);
    }
    text += "\n <TR>\n  <TD>Reference</TD><TD>";
    text += engine.getReference(channel) != 0 ? "External" : "Internal";
    AppendRow(text, "Output", VideoOutputName(engine.getVideoOutput(channel)));
    text += "</TABLE></BODY></HTML>\n\r";
    return MakeAnswerBody(text, bodyOut, lengthOut);
}

int32_t BuildMiscPage(CMyHttpClient* /*client*/, char** bodyOut, int32_t* lengthOut,
                      CHttpRequest* /*request*/) {
    const EngineTable& engine = Engine();
    char* revision = engine.getRevisionText();
    char* mediaRevision = engine.getMediaRevisionText();
    const bool known = revision != nullptr && mediaRevision != nullptr;

    std::string text = "<HTML><HEAD><TITLE>KXR Misc (Generated)</TITLE>\n";
    text += kPageHeadLines;
    text += "</HEAD><BODY>\n<P><H1 class=pageheader>KXR Misc</H1></P>\n<P><B>Revisions:</B><BR>\n"
            "KXR:&nbsp; ";
    text += known ? revision : "Not Available";
    text += "<BR>ZN:&nbsp; ";
    text += known ? mediaRevision : "Not Available";
    text += "</P>\n";
    text += "<center><p><B>Download standalone Java controller software:</B><br>\n"
            "<FONT size=3><STRONG>\n"
            "[<A href=\"Apps/MarlinXO.exe\">Windows</A>]</STRONG></FONT><br>\n"
            "<FONT size=3><STRONG>[<A href=\"Apps/MarlinXO.jar\">Mac OS-X</A>]</STRONG></FONT><br>"
            "<FONT size=3><STRONG>\n"
            "[<A href=\"Apps/MarlinXO-linux\">Linux</A>]</STRONG></FONT><br><FONT size=3><STRONG>\n"
            "[<A href=\"Apps/MarlinXO.jar\">Other (JAR File)</A>]</STRONG></FONT><br>\n"
            "<P>\n";
    text += "<B>External links</B><br>(requires internet connection):<br>\n"
            "<FONT size=3><STRONG>\n"
            "[<A href=\"http://www.tarvik.com/\" target=NewBrowser>www.tarvik.com</A>]<br>\n"
            "[<A href=\"http://www.tarvik.com/support/updates/\" target=NewBrowser>"
            "<STRONG>Software Updates</STRONG></A>]<BR>\n"
            "[<A href=\"http://www.tarvik.com/contact/\" target=NewBrowser>Contact</A>]<BR><BR>\n"
            "[<A href=\"https://www.java.com/download/\" target=NewBrowser>Jave Runtime</A>]<BR>\n"
            "</STRONG></FONT></P></center>\n</BODY></HTML>\n\r";
    engine.freeText(revision);
    engine.freeText(mediaRevision);
    // The block is sized from the template (its two "%s" included) and the
    // revision texts, which count 32 together when either is missing.
    size_t extra = 4 + 2;
    if (!known) {
        extra += 32 - 2 * (sizeof "Not Available" - 1);
    }
    return MakeAnswerBody(text, bodyOut, lengthOut, extra);
}

} // namespace kxr

// The status of one channel (refreshing every second) and of all channels
// side by side (every two seconds).
#include <string>

#include "answer/my_http_client.h"
#include "api/pages.h"
#include "api/pages_common.h"
#include "binding/engine_binding.h"
#include "httpd/html_text.h"

namespace kxr {

namespace {

// What both status pages show of a channel, each text in its own 16-byte
// buffer as the engine writes it.
struct ChannelReading {
    char state[kEngineShortTextSize] = {};
    char position[kEngineShortTextSize] = {};
    int32_t percent = 0;
    char clip[kEngineShortTextSize] = {};
};

ChannelReading ReadChannel(int32_t channel) {
    const EngineTable& engine = Engine();
    ChannelReading r;
    engine.refreshStatus(channel);
    engine.getStateText(channel, r.state);
    engine.getPositionText(channel, r.position);
    r.percent = SpeedPercent(engine.getSpeed(channel));
    engine.getCurrentClip(channel, r.clip);
    // The engine promises terminated texts; a short buffer must never be
    // read past its end all the same.
    r.state[kEngineShortTextSize - 1] = '\0';
    r.position[kEngineShortTextSize - 1] = '\0';
    r.clip[kEngineShortTextSize - 1] = '\0';
    return r;
}

constexpr size_t kStatusBodySize = 4096;

// The two one-line layouts differ only in their title and in what follows
// the percentage.
std::string ShortStatusPage(const ChannelReading& r, char type, const char* afterPercent) {
    std::string text = "<HTML><HEAD><TITLE>KXR Status Type ";
    text += type;
    text += "(Generated)</TITLE><META HTTP-EQUIV=\"Refresh\" CONTENT=\"1\">\n";
    text += kPageHeadLines;
    text += "</HEAD><BODY>";
    text += r.state;
    text += ' ';
    AppendDecimal(text, r.percent);
    text += afterPercent;
    text += r.position;
    text += ' ';
    httpd::AppendHtmlText(text, r.clip);
    text += "</BODY></HTML>\n\r";
    return text;
}

} // namespace

int32_t BuildStatusPage(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                        CHttpRequest* /*request*/) {
    const ChannelReading r = ReadChannel(static_cast<int32_t>(client->channel));
    std::string text;
    switch (client->pageType) {
    case 1:
        text = ShortStatusPage(r, '1', "% ");
        break;
    case 2:
        text = ShortStatusPage(r, '2', "% <BR>");
        break;
    default:
        text = "<HTML><HEAD><TITLE>KXR Status (Generated)</TITLE><META HTTP-EQUIV=\"Refresh\" "
               "CONTENT=\"1\">\n";
        text += kPageHeadLines;
        text += "</HEAD><BODY><P><H1 class=pageheader>KXR Status</H1></P><P>";
        text += r.state;
        text += "</P><P>";
        AppendDecimal(text, r.percent);
        text += "%</P><P>";
        text += r.position;
        text += "</P><P>";
        httpd::AppendHtmlText(text, r.clip);
        text += "</P></BODY></HTML>\n\r";
        break;
    }
    // The page always goes out in one block of the same size.
    const size_t extra = text.size() < kStatusBodySize ? kStatusBodySize - text.size() : 1;
    return MakeAnswerBody(text, bodyOut, lengthOut, extra);
}

int32_t BuildChannelsPage(CMyHttpClient* /*client*/, char** bodyOut, int32_t* lengthOut,
                          CHttpRequest* /*request*/) {
    const uint32_t count = Engine().getChannelCount();
    std::string row;
    for (uint32_t k = 0; k < count; ++k) {
        const ChannelReading r = ReadChannel(static_cast<int32_t>(k));
        row += "\n<TD width=100>";
        row += r.state;
        row += " &nbsp;";
        AppendDecimal(row, r.percent);
        row += "%<BR>";
        row += r.position;
        row += "<BR>";
        httpd::AppendHtmlText(row, r.clip);
        row += "</TD>";
    }
    std::string text = "<HTML><HEAD><TITLE>KXR Channel Status (Generated)</TITLE><META "
                       "HTTP-EQUIV=\"Refresh\" CONTENT=\"2\">\n";
    text += kPageHeadLines;
    text += "\n</HEAD><BODY><P><TABLE style=\"HEIGHT: 50px\" cellSpacing=2 cellPadding=2 "
            "border=2><TR align=middle>";
    text += row;
    // Nothing goes below the table.
    text += "</TR></TABLE></P></BODY></HTML>\n\r";
    // The block is sized from the template, whose two "%s" are not in text.
    return MakeAnswerBody(text, bodyOut, lengthOut, 4 + 2);
}

} // namespace kxr

// The media page: the browser remote control of one channel. Every link and
// form option points back at the page with query pieces that the page query
// carries out on the next request, so a click acts and redraws in one step.
#include <cstring>
#include <string>

#include "answer/my_http_client.h"
#include "answer/timecode_names.h"
#include "api/pages.h"
#include "api/pages_common.h"
#include "binding/engine_binding.h"
#include "httpd/html_text.h"
#include "kxr/rvutil.h"
#include "kxr/snipr.h"
#include "kxr/tempex.h"
#include "media/media_cmd.h"

namespace kxr {

namespace {

constexpr uint32_t kEndOfWalk = 0xFFFFFFFFu;
constexpr uint32_t kModeVtr = 1;
constexpr uint32_t kModeServer = 0;
constexpr uint32_t kModeSingle = 2;

std::string SelfLink(const CMyHttpClient* client) {
    std::string link = "KXRMedia?type=";
    AppendDecimal(link, static_cast<int32_t>(client->pageType));
    link += "&channel=";
    AppendDecimal(link, static_cast<int32_t>(client->channel));
    return link;
}

std::string TimecodeText(int32_t frames, uint32_t tcType) {
    char text[TEMPEX_TEXT_SIZE] = {};
    TcFramesToText(frames, (tcType & TEMPEX_TYPE_MASK) | kTcWriteFlags, text);
    text[TEMPEX_TEXT_SIZE - 1] = '\0';
    return text;
}

// "V" or "V+" for the picture, then the sound tracks: "AA" for a stereo pair,
// else every track by number.
std::string EditMarks(uint32_t video, uint32_t audioMask) {
    std::string marks;
    if (video == 1) {
        marks += "V";
    } else if (video != 0) {
        marks += "V+";
    }
    if (audioMask == 3) {
        marks += "AA";
    } else {
        for (unsigned bit = 0; bit < 32; ++bit) {
            if ((audioMask & (1u << bit)) != 0) {
                marks += 'A';
                AppendDecimal(marks, bit);
            }
        }
    }
    return marks;
}

std::string TimelineTable(const CMyHttpClient* client, const std::string& selfLink,
                          uint32_t tcType) {
    const EngineTable& engine = Engine();
    const auto channel = static_cast<int32_t>(client->channel);
    std::string text = "\n<TABLE class=media>\n <TR>\n"
                       "\n  <TD noWrap class=mediaHeader width=40>#</TD>"
                       "\n  <TD noWrap class=mediaHeader width=160>File Name</TD>"
                       "\n  <TD noWrap class=mediaHeader width=80>Time Line</TD>"
                       "\n  <TD noWrap class=mediaHeader width=80>Edit</TD>"
                       "\n  <TD noWrap class=mediaHeader width=80>Duration</TD>"
                       "\n  <TD noWrap class=mediaHeader>Directory</TD>";
    engine.timelineRewind(channel);
    for (int64_t row = 1;; ++row) {
        int32_t position = 0;
        int32_t in = 0;
        int32_t out = 0;
        uint32_t video = 0;
        uint32_t audioMask = 0;
        uint32_t unused1 = 0;
        uint32_t unused2 = 0;
        char file[kEngineNameSize] = {};
        const uint32_t result = engine.timelineNext(channel, &position, &in, &out, &video,
                                                    &audioMask, &unused1, &unused2, file, 0);
        if (result == kEndOfWalk || static_cast<uint32_t>(out) == kEndOfWalk) {
            break;
        }
        file[kEngineNameSize - 1] = '\0';
        char drive[RV_MAX_PATH] = {};
        char dir[RV_MAX_PATH] = {};
        char name[RV_MAX_PATH] = {};
        char ext[RV_MAX_PATH] = {};
        rvOSSplitPath(file, drive, dir, name, ext);
        char fileName[RV_MAX_PATH] = {};
        rvOSMakePath(fileName, nullptr, nullptr, name, ext);
        char directory[RV_MAX_PATH] = {};
        rvOSMakePath(directory, drive, dir, nullptr, nullptr);
        const std::string tc = TimecodeText(position, tcType);
        const std::string seekLink = "<A HREF=\"" + selfLink + "&seek=" + tc + "\">";

        text += "\n <TR>";
        text += "\n  <TD noWrap class=media width=40>" + seekLink;
        AppendDecimal(text, row);
        text += "</A></TD>";
        text += "\n  <TD noWrap class=media width=160>" + seekLink;
        httpd::AppendHtmlText(text, fileName);
        text += "</A></TD>";
        text += "\n  <TD noWrap class=media width=80>" + seekLink + tc + "</A></TD>";
        text += "\n  <TD noWrap class=media width=80>" + EditMarks(video, audioMask) + "</TD>";
        text += "\n  <TD noWrap class=media width=80>" + TimecodeText(out - in, tcType) + "</TD>";
        text += "\n  <TD noWrap class=media>";
        httpd::AppendHtmlText(text, directory);
        text += "</TD>";
    }
    text += "</TABLE>";
    return text;
}

std::string ClipTable(const CMyHttpClient* client, const std::string& selfLink, uint32_t tcType,
                      const char* currentClip) {
    const EngineTable& engine = Engine();
    const auto channel = static_cast<int32_t>(client->channel);
    std::string text = "\n<TABLE class=media>\n <TR>\n"
                       "\n  <TD noWrap class=mediaHeader width=80>Clip Name</TD>"
                       "\n  <TD noWrap class=mediaHeader width=80>Duration</TD>"
                       "\n  <TD noWrap class=mediaHeader>FileName</TD>"
                       "\n </TR>\n";
    // A name of blanks asks the engine for the first clip.
    char name[10] = "         ";
    engine.getNextClip(channel, name);
    name[sizeof name - 1] = '\0';
    while (name[0] != '\0') {
        int32_t in = 0;
        int32_t out = 0;
        uint32_t unused1 = 0;
        uint32_t unused2 = 0;
        uint32_t unused3 = 0;
        char file[kEngineNameSize] = {};
        engine.getClipInfo(channel, name, &in, &out, &unused1, &unused2, &unused3, file);
        file[kEngineNameSize - 1] = '\0';
        text += strcmpClip(name, currentClip) == 0 ? "\n <TR class=\"mediaSelected\">" : "\n <TR>";
        text += "\n  <TD noWrap class=media width=80><a href=\"" + selfLink + "&load=";
        httpd::AppendUrlText(text, name);
        text += "\">";
        httpd::AppendHtmlText(text, name);
        text += "</A></TD>";
        text += "\n  <TD noWrap class=media width=80>" + TimecodeText(out - in, tcType) + "</TD>";
        text += "\n  <TD noWrap class=media>";
        httpd::AppendHtmlText(text, file);
        text += "</TD> </TR>";
        engine.getNextClip(channel, name);
        name[sizeof name - 1] = '\0';
    }
    text += "</TABLE>\n";
    return text;
}

std::string StartTimecodeTable(const std::string& selfLink) {
    std::string text = "\n<TABLE class=media>\n <TR>\n"
                       "\n  <TR noWrap class=mediaHeader width=80>Start TC</TR>";
    for (int hour = 0; hour < 24; ++hour) {
        const char hh[3] = {static_cast<char>('0' + hour / 10), static_cast<char>('0' + hour % 10),
                            '\0'};
        text += "\n  <TR noWrap class=media width=80><TD>&nbsp;&nbsp;<A HREF=\"" + selfLink +
                "&seek=" + hh + ":00:00:00\">" + hh + ":00:00:00</A></TD></TR>";
        text += "\n  <TR noWrap class=media width=80><TD>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;<A "
                "HREF=\"" +
                selfLink + "&seek=" + hh + ":30:00:00\">" + hh + ":30:00:00</A></TD></TR>";
    }
    text += "</TABLE>\n";
    return text;
}

} // namespace

std::string ChannelSelectForm(CMyHttpClient* client, const std::string& selfLink) {
    const EngineTable& engine = Engine();
    std::string text = "\n<FORM NAME=\"KXRSelects\">\n <SELECT id=channel name=channel "
                       "OnChange=document.location=document.KXRSelects.channel.options[document."
                       "KXRSelects.channel.selectedIndex].value> ";
    // The count is asked again for every option: channels may come and go.
    for (uint32_t k = 0; k < engine.getChannelCount(); ++k) {
        text += k == client->channel ? "\n  <OPTION selected value=\"" : "\n  <OPTION value=\"";
        text += selfLink + "&setchannel=";
        AppendDecimal(text, k);
        text += "\">";
        char name[kEngineNameSize] = {};
        engine.getChannelName(static_cast<int32_t>(k), name);
        name[kEngineNameSize - 1] = '\0';
        httpd::AppendHtmlText(text, name);
        text += "</OPTION>";
    }
    text += "\n</SELECT></FORM>";
    return text;
}

std::string ModeSelectForm(CMyHttpClient* client, const std::string& selfLink) {
    const int32_t mode = Engine().getMode(static_cast<int32_t>(client->channel));
    struct Option {
        int32_t mode;
        const char* tail;
    };
    static const Option kOptions[] = {
        {1, "&mode=1\">VTR TC Mode</OPTION>"},
        {0, "&mode=0\">Server Mode</OPTION>"},
        {2, "&mode=2\">Single Mode</OPTION>"},
    };
    std::string text = "<FORM NAME=\"KXRMode\">\n<SELECT id=mode name=mode "
                       "OnChange=document.location=document.KXRMode.mode.options[document.KXRMode."
                       "mode.selectedIndex].value> ";
    for (const Option& option : kOptions) {
        text += option.mode == mode ? "\n <OPTION selected value=\"" : "\n <OPTION value=\"";
        text += selfLink;
        text += option.tail;
    }
    text += "\n</SELECT>\n</FORM>";
    return text;
}

std::string TransportBar(CMyHttpClient* /*client*/, const std::string& selfLink) {
    static const char* const kTails[] = {
        "&seek=-5:00\"><IMG width=18 height=18 alt=\"Back 5 Seconds\" "
        "src=\"Graphics/kxr_prev.gif\"></A>",
        "&speed=-65520&play\"><IMG width=18 height=18 alt=\"Reverse Play\" "
        "src=\"Graphics/kxr_rplay.gif\"></A>",
        "&seek=0\"><IMG width=18 height=18 alt=\"Stop RTZ\" src=\"Graphics/kxr_stop.gif\"></A>",
        "&pause\"><IMG width=18 height=18 alt=\"Pause\" src=\"Graphics/kxr_pause.gif\"></A>",
        "&play\"><IMG width=18 height=18 alt=\"Play\" src=\"Graphics/kxr_play.gif\"></A>",
        "&seek=+5:00\"><IMG width=18 height=18 alt=\"Forward 5 Seconds\" "
        "src=\"Graphics/kxr_next.gif\"></A>",
    };
    std::string text;
    for (const char* tail : kTails) {
        text += "\n<A HREF=\"" + selfLink + tail;
    }
    return text;
}

int32_t BuildMediaPage(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                       CHttpRequest* /*request*/) {
    const EngineTable& engine = Engine();
    const std::string selfLink = SelfLink(client);
    std::string text = "<HTML><HEAD><TITLE>KXR Media Page</TITLE>\n";
    text += kPageHeadLines;
    text += "</HEAD><BODY>\n\r";

    if (client->channel >= engine.getChannelCount()) {
        // Both selectors stay, so that the user can pick a channel that exists.
        text += "<H1 class=pageheader>Requested channel [";
        AppendDecimal(text, static_cast<int32_t>(client->channel));
        text += "] does not exist</H1><BR>";
        text += ChannelSelectForm(client, selfLink);
        text += ModeSelectForm(client, selfLink);
        text += "</BODY></HTML>\n\r";
        return MakeAnswerBody(text, bodyOut, lengthOut, 16);
    }

    const uint32_t tcType = GetChannelTcType(static_cast<int32_t>(client->channel));
    const auto mode = static_cast<uint32_t>(engine.getMode(static_cast<int32_t>(client->channel)));
    const auto controls = [&] {
        std::string c;
        if (client->pageType == 0) {
            c += ChannelSelectForm(client, selfLink);
            c += ModeSelectForm(client, selfLink);
        }
        if (client->pageType < 2) {
            c += TransportBar(client, selfLink);
        }
        return c;
    };
    if (mode == kModeVtr) {
        text += controls();
        text += TimelineTable(client, selfLink, tcType);
    } else if (mode == kModeServer || mode == kModeSingle) {
        // A clip loaded by this very request shows as current even before the
        // engine reports it.
        char current[kEngineShortTextSize] = {};
        if ((client->actionFlags & 1u) != 0) {
            std::memcpy(current, client->clip, sizeof client->clip);
        } else {
            engine.getCurrentClip(static_cast<int32_t>(client->channel), current);
        }
        current[kEngineShortTextSize - 1] = '\0';
        text += controls();
        text += ClipTable(client, selfLink, tcType, current);
    } else {
        text += controls();
        text += StartTimecodeTable(selfLink);
    }
    // Without a channel the refresh shows the selected one.
    text += "\n<center><a href=\"KXRMedia?type=";
    AppendDecimal(text, static_cast<int32_t>(client->pageType));
    text += "\">[REFRESH]</A></center><BR>\n</BODY></HTML>\n\r";
    return MakeAnswerBody(text, bodyOut, lengthOut, 16);
}

} // namespace kxr

#include "api/dispatch_table.h"

#include <cstring>

#include "api/channel_queries.h"

namespace kxr {

// Wiring an answer is one line here; the order is the search order.
const DispatchEntry kXmlCommands[kXmlCommandCount] = {
    {"MediaCmd", nullptr},
    {"Status", nullptr},
    {"NextClip", nullptr},
    {"GetPicon", nullptr},
    {"ClipInfo", nullptr},
    {"GetLastChangeMs", AnswerGetLastChangeMs},
    {"EDLState", nullptr},
    {"EDLInfo", nullptr},
    {"NextDirEntry", nullptr},
    {"MakeDir", nullptr},
    {"FileInfo", nullptr},
    {"ErrorMsg", nullptr},
    {"ErrorLogSave", nullptr},
    {"MetaData", nullptr},
    {"CardInfo", nullptr},
    {"WatchFolder", nullptr},
};

const DispatchEntry kPageCommands[kPageCommandCount] = {
    {"TotalChannels", AnswerTotalChannels},
    {"TotalInternalChannels", AnswerTotalInternalChannels},
    {"GetState", AnswerGetState},
    {"GetPosition", AnswerGetPosition},
    {"GetFrame", AnswerGetFrame},
    {"GetSpeedRaw", AnswerGetSpeedRaw},
    {"GetSpeed", AnswerGetSpeed},
    {"GetNextClip", AnswerGetNextClip},
    {"GetLastChangeXferMs", AnswerGetLastChangeXferMs},
    {"GetLastChangeMs", AnswerGetLastChangeMs},
    {"GetErrorLogMs", AnswerGetErrorLogMs},
    {"TcType", AnswerTcType},
    {"SetErrorLogClear", AnswerSetErrorLogClear},
    {"SetErrorLogSave", AnswerSetErrorLogSave},
    {"SetErrorLogStop", AnswerSetErrorLogStop},
    {"ChannelName", AnswerChannelName},
    {"SetErrorLogStart", AnswerSetErrorLogStart},
    {"System", nullptr},
    {"Status", nullptr},
    {"Media", nullptr},
    {"Audio", nullptr},
    {"Video", nullptr},
    {"Misc", nullptr},
    {"Channels", nullptr},
    {"Timecode", AnswerTimecode},
};

const DispatchEntry* FindCommand(const DispatchEntry* table, size_t count, const char* path) {
    for (size_t i = 0; i < count; ++i) {
        if (std::strstr(path, table[i].word) != nullptr) {
            return &table[i];
        }
    }
    return nullptr;
}

} // namespace kxr

#include "module/dispatch_table.h"

#include <cstring>

#include "api/channel_queries.h"
#include "api/pages.h"
#include "files/browse_answers.h"
#include "media/card_answers.h"
#include "media/clip_answers.h"
#include "media/error_answers.h"
#include "media/media_cmd_request.h"
#include "media/status_answers.h"

namespace kxr {

// Wiring an answer is one line here; the order is the search order.
const DispatchEntry kXmlCommands[kXmlCommandCount] = {
    {"MediaCmd", HandleMediaCmdRequest, "&mpreview", HandleMediaPreviewRequest},
    {"Status", HandleStatusRequest},
    {"NextClip", HandleNextClipRequest},
    {"GetPicon", HandleGetPiconRequest},
    {"ClipInfo", HandleClipInfoRequest},
    {"GetLastChangeMs", AnswerGetLastChangeMs},
    {"EDLState", HandleEdlStateRequest},
    {"EDLInfo", HandleEdlInfoRequest},
    {"NextDirEntry", HandleNextDirEntry},
    {"MakeDir", HandleMakeDir},
    {"FileInfo", HandleFileInfo},
    {"ErrorMsg", HandleErrorMsgRequest},
    {"ErrorLogSave", HandleErrorLogSaveRequest},
    {"MetaData", HandleMetaDataRequest},
    {"CardInfo", HandleCardInfoRequest},
    {"WatchFolder", HandleWatchFolderRequest},
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
    {"System", BuildSystemPage},
    {"Status", BuildStatusPage},
    {"Media", BuildMediaPage},
    {"Audio", BuildAudioPage},
    {"Video", BuildVideoPage},
    {"Misc", BuildMiscPage},
    {"Channels", BuildChannelsPage},
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

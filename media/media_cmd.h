// The MediaCmd record as the module fills and sends it, and its text form in
// a request's query string (Play&channel=2&position=00:01:00:00&loop).
#ifndef KXR_MEDIA_MEDIA_CMD_H
#define KXR_MEDIA_MEDIA_CMD_H

#include <cstddef>
#include <cstdint>

#include "kxr/mediacmd.h"

namespace kxr {

class CMyHttpClient;
class CHttpRequest;

// Room of the working text that BlankPercentEscapes rewrites, terminator
// included: longer texts are cut to kEscapeTextMax characters.
inline constexpr size_t kEscapeTextRoom = 260;
inline constexpr size_t kEscapeTextMax = kEscapeTextRoom - 1;

// Writes the defaults into a standard 4188-byte record: header and text zero,
// structId 0xFA250200, size 4188, channel -1, cmd 1 (Pause), flags 0, speed
// 0x7FFFFFFF, the three channel masks all ones, cmdAlt 0, position, start and
// end -1.
void InitMediaCmd(MediaCmd* record);

// Hands the record to the media-command slot; the engine acts on it at once
// and may write results into it. Returns what the slot returned (callers in
// the module do not use it).
int32_t SendMediaCmd(int32_t channel, MediaCmd* record);

// The channel's timecode type (a GetValue of value code 8 sent to channel,
// with the record's own channel left at -1).
uint32_t GetChannelTcType(int32_t channel);

// Fills record (prepared with InitMediaCmd) from request->query; the client's
// channel is the default channel and the source of the timecode type. Returns
// 1 when the command word was known or a recognised key or flag word followed,
// else 0. Never sends the record. Only the standard 4188 bytes of the record
// are written, whatever its size field says; overlong values are cut to
// their fields' room.
int32_t MediaCmdFromQuery(CMyHttpClient* client, MediaCmd* record, CHttpRequest* request);

// Replaces, in place, each "%" and the (up to) two characters after it by one
// space. A text longer than kEscapeTextMax characters is first cut to that
// length. Null is ignored.
void BlankPercentEscapes(char* text);

} // namespace kxr

#endif

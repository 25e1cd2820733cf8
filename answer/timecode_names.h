// The names of the timecode types as answers show them ("TcType").
#ifndef KXR_ANSWER_TIMECODE_NAMES_H
#define KXR_ANSWER_TIMECODE_NAMES_H

#include <cstdint>

namespace kxr {

class CMyHttpClient;

// What the module ORs into a timecode type when it reads timecode text and
// when it writes it.
inline constexpr uint32_t kTcReadFlags = 0x100;
inline constexpr uint32_t kTcWriteFlags = 0x32100;

// Room for the longest name ("non-drop-frame") and its terminator.
inline constexpr unsigned kTcTypeNameRoom = 16;

// Writes the name of a timecode type code into textOut (at least
// kTcTypeNameRoom bytes). Code 0 writes "" and returns 0; every other code
// returns 1, and a code without a name leaves textOut as the caller set it.
// client is not used.
int32_t TcTypeName(CMyHttpClient* client, uint32_t code, char* textOut);

} // namespace kxr

#endif

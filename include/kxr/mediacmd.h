/* The engine's media command record: a fixed little-endian layout shared with
 * the engine, the engine utility library and the module. */
#ifndef KXR_MEDIACMD_H
#define KXR_MEDIACMD_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
    kMediaCmdStructId = (int32_t)0xFA250200u,
    kMediaCmdTextOffset = 76,
    kMediaCmdTextSize = 4112,
    kMediaCmdStandardSize = kMediaCmdTextOffset + kMediaCmdTextSize, /* 4188 */
    kMediaCmdClipNameOffset = 76, /* 8 characters, a zero at 84 */
    kMediaCmdClipNameLength = 8,
    kMediaCmdFileNameOffset = 85
};

typedef struct MediaCmd {
    uint8_t header[24];
    uint32_t structId;
    uint32_t size; /* whole record in bytes, text area included */
    int32_t channel;
    uint32_t cmd;
    uint32_t flags;
    int32_t speed;
    uint32_t videoChannels;
    uint32_t audioChannels;
    uint32_t infoChannels;
    int32_t cmdAlt;
    int32_t position;
    int32_t start;
    int32_t end;
    /* Larger records (value code 1000007, the preview) extend this area past
     * the end of the struct; `size` says how far. */
    char text[kMediaCmdTextSize];
} MediaCmd;

/* Command codes (field cmd). Code 20 has no word in the text form. */
enum MediaCmdCode {
    kCmdStop = 0,
    kCmdPause = 1,
    kCmdPlay = 2,
    kCmdRecord = 3,
    kCmdRecStop = 4,
    kCmdEject = 5,
    kCmdTransfer = 6,
    kCmdInsert = 7,
    kCmdBlank = 8,
    kCmdDelete = 9,
    kCmdTrim = 10,
    kCmdChanSelect = 11,
    kCmdGetState = 12,
    kCmdSetState = 13,
    kCmdGetValue = 14,
    kCmdSetValue = 15,
    kCmdValueSupported = 16,
    kCmdError = 17,
    kCmdTerminate = 18,
    kCmdAbort = 19,
    kCmdReserved20 = 20,
    kCmdSwitch = 21
};

/* Flag bits (field flags). */
#define MCF_DEFERRED 0x00000001u
#define MCF_TIMEMS 0x00000002u
#define MCF_TARGETMS 0x00000006u
#define MCF_HOUSEMS 0x0000000Au
#define MCF_SPEED 0x00000010u
#define MCF_CHANNELS 0x00000020u
#define MCF_POSITION_ABS 0x00000040u
#define MCF_POSITION_REL 0x00000080u
#define MCF_START 0x00000100u
#define MCF_START_REL 0x00000200u
#define MCF_END 0x00000400u
#define MCF_END_REL 0x00000800u
#define MCF_ALLIDS 0x00001000u
#define MCF_TEXT 0x00002000u
#define MCF_NOCLIPFILES 0x00004000u /* also "Copy" */
#define MCF_NOTCSPACES 0x00008000u  /* also "Convert" */
#define MCF_CMDALT 0x00010000u
#define MCF_ISSHUTTLE 0x00020000u
#define MCF_USINGCURRENT 0x00040000u
#define MCF_USEFRAMECOUNT 0x00080000u
#define MCF_FIELDS 0x00100000u
#define MCF_RIPPLE 0x00200000u
#define MCF_LOOP 0x00400000u
#define MCF_TRIGGER 0x00800000u
#define MCF_PREVIEW 0x01000000u
#define MCF_FROMTEXT 0x02000000u
#define MCF_RESERVED1 0x04000000u
#define MCF_RESERVED2 0x08000000u
#define MCF_INVERT 0x10000000u
#define MCF_TEST 0x20000000u
#define MCF_OVERRIDEDEFERRED 0x40000000u
#define MCF_NORETURN 0x80000000u

/* Value codes (cmdAlt of GetValue/SetValue) shared by the engine and the module. */
enum MediaCmdValueCode {
    kValueVideoChannels = 1,
    kValueAudioChannels = 3,
    kValueInfoChannels = 5,
    kValueTcType = 8,
    kValueTimelineEntry = 93,
    kValueClipInfo = 95,
    kValueErrorLogSave = 10000,
    kValueEventLog = 10100,
    kValuePicon = 1000000,
    kValueLargeRecord = 1000007
};

#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(MediaCmd) == kMediaCmdStandardSize, "MediaCmd is 4188 bytes");
static_assert(offsetof(MediaCmd, structId) == 24, "structId offset");
static_assert(offsetof(MediaCmd, size) == 28, "size offset");
static_assert(offsetof(MediaCmd, channel) == 32, "channel offset");
static_assert(offsetof(MediaCmd, cmd) == 36, "cmd offset");
static_assert(offsetof(MediaCmd, flags) == 40, "flags offset");
static_assert(offsetof(MediaCmd, speed) == 44, "speed offset");
static_assert(offsetof(MediaCmd, videoChannels) == 48, "videoChannels offset");
static_assert(offsetof(MediaCmd, audioChannels) == 52, "audioChannels offset");
static_assert(offsetof(MediaCmd, infoChannels) == 56, "infoChannels offset");
static_assert(offsetof(MediaCmd, cmdAlt) == 60, "cmdAlt offset");
static_assert(offsetof(MediaCmd, position) == 64, "position offset");
static_assert(offsetof(MediaCmd, start) == 68, "start offset");
static_assert(offsetof(MediaCmd, end) == 72, "end offset");
static_assert(offsetof(MediaCmd, text) == kMediaCmdTextOffset, "text offset");
#endif

#endif

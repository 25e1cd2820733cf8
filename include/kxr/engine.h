/* The video engine's functions, each known by its ordinal. The module binds
 * them at run time: on Windows with GetProcAddress(MAKEINTRESOURCE(n)), on
 * POSIX through the one named resolver kxrEngineProcByOrdinal. A channel is a
 * 32-bit number counted from 0. */
#ifndef KXR_ENGINE_H
#define KXR_ENGINE_H

#include <stdint.h>

#include "kxr/mediacmd.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Buffer sizes of the engine's text outputs, including the terminator. */
enum {
    kEngineNameSize = 260,     /* channel names, clip and timeline file paths */
    kEngineShortTextSize = 16, /* current clip, position text, state word */
    kEngineClipNameSize = 9    /* 8 characters and a terminator */
};

/* Values the module passes or tests for. */
#define ENGINE_NO_VALUE 0xFFFFFFFFu /* "not given" argument; no reading */
#define ENGINE_NORMAL_SPEED 65520   /* normal forward play */
#define ENGINE_ERRORLOG_CLEAR 0xFFFFFFFFu
#define ENGINE_ERRORLOG_START 0u
#define ENGINE_ERRORLOG_STOP 1u
#define ENGINE_ERRORLOG_SAVE 4u

enum EngineOrdinal {
    kOrdGetChannelCount = 7,
    kOrdGetInternalChannelCount = 8,
    kOrdGetChannelName = 9,
    kOrdGetChannelType = 10,
    kOrdPlay = 13,
    kOrdPlayAtSpeed = 14,
    kOrdLoadClip = 16,
    kOrdPause = 22,
    kOrdSeek = 23,
    kOrdSeekRelative = 24,
    kOrdStop = 25,
    kOrdRecord = 26,
    kOrdRecordStop = 28,
    kOrdEject = 32,
    kOrdMediaCmd = 33,
    kOrdRefreshStatus = 35,
    kOrdGetSpeed = 38,
    kOrdGetFrame = 39,
    kOrdGetCurrentClip = 43,
    kOrdGetPositionText = 45,
    kOrdGetStateText = 46,
    kOrdGetNextClip = 47,
    kOrdGetClipInfo = 48,
    kOrdTimelineRewind = 53,
    kOrdTimelineNext = 54,
    kOrdGetLastChangeXferMs = 55,
    kOrdGetLastChangeMs = 56,
    kOrdGetSetting = 65,
    kOrdGetMode = 68,
    kOrdSetMode = 69,
    kOrdGetTcType = 70,
    kOrdGetChannelMasks = 77,
    kOrdGetAudioInput = 78,
    kOrdGetAudioInLevel = 80,
    kOrdGetAudioOutput = 82,
    kOrdGetAudioOutLevel = 84,
    kOrdGetVideoInput = 87,
    kOrdGetVideoOutput = 89,
    kOrdGetSetupA = 91,
    kOrdGetVideoLevelA = 93,
    kOrdGetHueA = 95,
    kOrdGetChromaA = 97,
    kOrdGetSetupB = 99,
    kOrdGetVideoLevelB = 101,
    kOrdGetHueB = 103,
    kOrdGetChromaB = 105,
    kOrdGetReference = 107,
    kOrdGetErrorLogMs = 113,
    kOrdSetErrorLog = 114,
    kOrdErrorLogCount = 115,
    kOrdErrorLogLength = 116,
    kOrdErrorLogRead = 117,
    kOrdGetStorageFree = 121,
    kOrdGetRevisionText = 124,
    kOrdGetMediaRevisionText = 125,
    kOrdGetSystemText = 126,
    kOrdFreeText = 128
};

/* Signatures, one per ordinal. Results the module does not read are int32_t
 * status codes (0 = done). */
typedef uint32_t (*EngineGetChannelCountFn)(void);                                   /* 7 */
typedef uint32_t (*EngineGetInternalChannelCountFn)(void);                           /* 8 */
typedef int32_t (*EngineGetChannelNameFn)(int32_t channel, char* nameOut /* 260 */); /* 9 */
typedef int32_t (*EngineGetChannelTypeFn)(int32_t channel);                          /* 10 */
typedef int32_t (*EnginePlayFn)(int32_t channel);                                    /* 13 */
typedef int32_t (*EnginePlayAtSpeedFn)(int32_t channel, int32_t speed,
                                       uint32_t reserved /* 0xFFFFFFFF */); /* 14 */
typedef int32_t (*EngineLoadClipFn)(int32_t channel, const char* clip /* 8-char field */,
                                    uint32_t option);                     /* 16 */
typedef int32_t (*EnginePauseFn)(int32_t channel);                        /* 22 */
typedef int32_t (*EngineSeekFn)(int32_t channel, int32_t frame);          /* 23 */
typedef int32_t (*EngineSeekRelativeFn)(int32_t channel, int32_t frames); /* 24 */
typedef int32_t (*EngineStopFn)(int32_t channel);                         /* 25 */
typedef int32_t (*EngineRecordFn)(int32_t channel);                       /* 26 */
typedef int32_t (*EngineRecordStopFn)(int32_t channel, const char* text,
                                      uint32_t reserved /* 0xFFFFFFFF */);           /* 28 */
typedef int32_t (*EngineEjectFn)(int32_t channel);                                   /* 32 */
typedef int32_t (*EngineMediaCmdFn)(int32_t channel, MediaCmd* record);              /* 33 */
typedef int32_t (*EngineRefreshStatusFn)(int32_t channel);                           /* 35 */
typedef int32_t (*EngineGetSpeedFn)(int32_t channel);                                /* 38 */
typedef int32_t (*EngineGetFrameFn)(int32_t channel);                                /* 39 */
typedef int32_t (*EngineGetCurrentClipFn)(int32_t channel, char* clipOut /* 16 */);  /* 43 */
typedef int32_t (*EngineGetPositionTextFn)(int32_t channel, char* textOut /* 16 */); /* 45 */
typedef int32_t (*EngineGetStateTextFn)(int32_t channel, char* textOut /* 16 */);    /* 46 */
/* Replaces the name by the following clip's; blanks ask for the first clip,
 * an empty result (first byte 0) means there is none. */
typedef int32_t (*EngineGetNextClipFn)(int32_t channel, char* clipInOut /* 9 */); /* 47 */
typedef int32_t (*EngineGetClipInfoFn)(int32_t channel, const char* clip, int32_t* inOut,
                                       int32_t* outOut, uint32_t* extra1, uint32_t* extra2,
                                       uint32_t* extra3, char* fileOut /* 260 */); /* 48 */
typedef int32_t (*EngineTimelineRewindFn)(int32_t channel);                        /* 53 */
/* Returns 0xFFFFFFFF after the last entry. */
typedef uint32_t (*EngineTimelineNextFn)(int32_t channel, int32_t* positionOut, int32_t* inOut,
                                         int32_t* outOut, uint32_t* videoOut,
                                         uint32_t* audioMaskOut, uint32_t* extra1, uint32_t* extra2,
                                         char* fileOut /* 260 */,
                                         uint32_t reserved /* 0 */); /* 54 */
typedef uint32_t (*EngineGetLastChangeXferMsFn)(int32_t channel);    /* 55 */
typedef uint32_t (*EngineGetLastChangeMsFn)(int32_t channel, uint32_t reserved1 /* 0xFFFFFFFF */,
                                            uint32_t reserved2 /* 0 */); /* 56 */
typedef uint32_t (*EngineGetSettingFn)(int32_t channel, uint32_t code, uint32_t reserved1,
                                       uint32_t reserved2);        /* 65 */
typedef int32_t (*EngineGetModeFn)(int32_t channel);               /* 68 */
typedef int32_t (*EngineSetModeFn)(int32_t channel, int32_t mode); /* 69 */
typedef uint32_t (*EngineGetTcTypeFn)(int32_t channel);            /* 70 */
typedef int32_t (*EngineGetChannelMasksFn)(int32_t channel, uint32_t* videoInOut,
                                           uint32_t* audioInOut, uint32_t* infoInOut); /* 77 */
/* Ordinals 78 to 107 share one shape: a per-channel 32-bit reading. */
typedef uint32_t (*EngineChannelValueFn)(int32_t channel);
typedef uint32_t (*EngineGetErrorLogMsFn)(void);                                      /* 113 */
typedef int32_t (*EngineSetErrorLogFn)(uint32_t operation);                           /* 114 */
typedef int32_t (*EngineErrorLogCountFn)(uint32_t* countOut);                         /* 115 */
typedef int32_t (*EngineErrorLogLengthFn)(uint32_t* indexInOut, uint32_t* lengthOut); /* 116 */
/* textOut holds at least length + 1 bytes (length from ordinal 116). */
typedef int32_t (*EngineErrorLogReadFn)(uint32_t* indexInOut, int32_t* codeOut, char* textOut,
                                        uint16_t* year, uint16_t* a, uint16_t* b, uint16_t* hour,
                                        uint16_t* minute, uint16_t* second,
                                        uint16_t* fraction); /* 117 */
typedef uint32_t (*EngineGetStorageFreeFn)(int32_t channel); /* 121, megabytes */
typedef char* (*EngineGetRevisionTextFn)(void);              /* 124, 125 */
typedef char* (*EngineGetSystemTextFn)(int32_t channel);     /* 126 */
typedef void (*EngineFreeTextFn)(char* text);                /* 128 */

/* The bound engine: one pointer per ordinal. */
typedef struct EngineTable {
    EngineGetChannelCountFn getChannelCount;
    EngineGetInternalChannelCountFn getInternalChannelCount;
    EngineGetChannelNameFn getChannelName;
    EngineGetChannelTypeFn getChannelType;
    EnginePlayFn play;
    EnginePlayAtSpeedFn playAtSpeed;
    EngineLoadClipFn loadClip;
    EnginePauseFn pause;
    EngineSeekFn seek;
    EngineSeekRelativeFn seekRelative;
    EngineStopFn stop;
    EngineRecordFn record;
    EngineRecordStopFn recordStop;
    EngineEjectFn eject;
    EngineMediaCmdFn mediaCmd;
    EngineRefreshStatusFn refreshStatus;
    EngineGetSpeedFn getSpeed;
    EngineGetFrameFn getFrame;
    EngineGetCurrentClipFn getCurrentClip;
    EngineGetPositionTextFn getPositionText;
    EngineGetStateTextFn getStateText;
    EngineGetNextClipFn getNextClip;
    EngineGetClipInfoFn getClipInfo;
    EngineTimelineRewindFn timelineRewind;
    EngineTimelineNextFn timelineNext;
    EngineGetLastChangeXferMsFn getLastChangeXferMs;
    EngineGetLastChangeMsFn getLastChangeMs;
    EngineGetSettingFn getSetting;
    EngineGetModeFn getMode;
    EngineSetModeFn setMode;
    EngineGetTcTypeFn getTcType;
    EngineGetChannelMasksFn getChannelMasks;
    EngineChannelValueFn getAudioInput;    /* 78 */
    EngineChannelValueFn getAudioInLevel;  /* 80, 16.16; 0xFFFFFFFF: no reading */
    EngineChannelValueFn getAudioOutput;   /* 82 */
    EngineChannelValueFn getAudioOutLevel; /* 84 */
    EngineChannelValueFn getVideoInput;    /* 87 */
    EngineChannelValueFn getVideoOutput;   /* 89 */
    EngineChannelValueFn getSetupA;        /* 91, 0xFFFFFFFF: set not available */
    EngineChannelValueFn getVideoLevelA;   /* 93 */
    EngineChannelValueFn getHueA;          /* 95 */
    EngineChannelValueFn getChromaA;       /* 97 */
    EngineChannelValueFn getSetupB;        /* 99 */
    EngineChannelValueFn getVideoLevelB;   /* 101 */
    EngineChannelValueFn getHueB;          /* 103 */
    EngineChannelValueFn getChromaB;       /* 105 */
    EngineChannelValueFn getReference;     /* 107, non-zero: external */
    EngineGetErrorLogMsFn getErrorLogMs;
    EngineSetErrorLogFn setErrorLog;
    EngineErrorLogCountFn errorLogCount;
    EngineErrorLogLengthFn errorLogLength;
    EngineErrorLogReadFn errorLogRead;
    EngineGetStorageFreeFn getStorageFree;
    EngineGetRevisionTextFn getRevisionText;
    EngineGetRevisionTextFn getMediaRevisionText;
    EngineGetSystemTextFn getSystemText;
    EngineFreeTextFn freeText;
} EngineTable;

/* The engine library's one named export on POSIX: the function with the
 * given ordinal, or 0 when the engine has none. */
typedef void* (*EngineProcByOrdinalFn)(unsigned ordinal);
#define KXR_ENGINE_RESOLVER_NAME "kxrEngineProcByOrdinal"

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif

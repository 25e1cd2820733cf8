/* The media-file library: a fast type guess for any file, and stream, sound
 * and metadata records for the media files it can open. The records keep the
 * fixed layouts their users read by offset. */
#ifndef KXR_REELIO_H
#define KXR_REELIO_H

#include <stddef.h>
#include <stdint.h>

#include "kxr/reelio_export.h"

#ifdef __cplusplus
extern "C" {
#endif

#define RL_UNKNOWN 0xFFFFFFFFu /* no type; an absent numeric field */

/* Capability flags of a file type. */
#define RL_CAN_READ 0x1u
#define RL_CAN_WRITE 0x2u
#define RL_DISCRETE 0x10u /* one picture per file: a frame of a sequence */
#define RL_VIDEO 0x20u
#define RL_AUDIO 0x40u
#define RL_INFO 0x80u
#define RL_CONTAINER 0x1000u

/* Type codes: stable numbers, also the type's value in rlGetFileTypeInfo. */
enum RLFileType {
    /* one picture per file */
    kRLTypeDPX = 1,
    kRLTypeTIFF = 2,
    kRLTypePNG = 3,
    kRLTypeJPEG = 4,
    kRLTypeBMP = 5,
    kRLTypeTGA = 6,
    kRLTypeEXR = 7,
    /* containers */
    kRLTypeMOV = 16,
    kRLTypeMP4 = 17,
    kRLTypeMXF = 18,
    kRLTypeAVI = 19,
    kRLTypeMKV = 20,
    /* sound */
    kRLTypeWAV = 32,
    kRLTypeAIFF = 33
};

#define RL_SHORT_DESCRIPTION_SIZE 64
#define RL_LONG_DESCRIPTION_SIZE 256

typedef void* RLHANDLE;

/* Picture record: the library may fill it; its users do not read it. */
typedef struct RLPictureInfo {
    uint8_t bytes[356];
} RLPictureInfo;

/* Stream record. */
typedef struct RLStreamInfo {
    uint32_t headerSize;           /* 0 */
    int32_t width;                 /* 4 */
    int32_t height;                /* 8, negative for top-down rows */
    uint16_t planes;               /* 12 */
    uint16_t bitCount;             /* 14 */
    uint32_t compression;          /* 16, four-character code, first byte most significant */
    uint32_t sizeImage;            /* 20 */
    uint32_t reserved24[4];        /* 24 */
    uint32_t compressionDetail[4]; /* 40 */
    uint8_t reserved56[1064 - 56];
    uint32_t streamType;          /* 1064 */
    uint32_t handler;             /* 1068 */
    uint32_t streamFlags;         /* 1072 */
    uint32_t caps;                /* 1076 */
    uint32_t priority;            /* 1080 */
    uint32_t scale;               /* 1084: rate / scale = frames per second */
    uint32_t rate;                /* 1088 */
    uint32_t start;               /* 1092 */
    uint32_t length;              /* 1096, in frames */
    uint32_t initialFrames;       /* 1100 */
    uint32_t suggestedBufferSize; /* 1104 */
    uint32_t quality;             /* 1108 */
    uint32_t sampleSize;          /* 1112 */
    uint8_t reserved1116[1396 - 1116];
    uint32_t pitch;        /* 1396 */
    uint32_t reserved1400; /* 1400 */
    uint32_t fileType;     /* 1404, the type code */
    uint8_t reserved1408[1428 - 1408];
} RLStreamInfo;

/* Sound record. */
typedef struct RLSoundInfo {
    uint16_t audioType;      /* 0, 1 = PCM */
    uint16_t audioChannels;  /* 2 */
    uint32_t audioFrequency; /* 4 */
    uint32_t bytesPerSecond; /* 8 */
    uint16_t blockAlign;     /* 12 */
    uint16_t audioBits;      /* 14 */
    uint8_t reserved16[1392 - 16];
} RLSoundInfo;

/* Metadata record. Text slot k (1 to 99) is texts[k - 1]; the texts belong to
 * the library and stay valid until rlClose. Numeric fields holding RL_UNKNOWN
 * are absent. */
enum { kRLMetaTextSlots = 99, kRLMetaNumbers = 43 };
enum RLMetaSlot {
    kRLMetaFileName = 1,
    kRLMetaTitle = 9,
    kRLMetaComments = 14,
    kRLMetaAuthor = 22,
    kRLMetaAlbum = 25,
    kRLMetaArtist = 26,
    kRLMetaComposer = 27,
    kRLMetaCopyright = 28,
    kRLMetaDescription = 30,
    kRLMetaEncodedBy = 33,
    kRLMetaGenre = 35,
    kRLMetaSoftware = 45,
    kRLMetaTrack = 47,
    kRLMetaLanguage = 61,
    kRLMetaFormat = 62,
    kRLMetaReel = 66
};
/* Index into numbers[] of the numeric fields at offset 796 + 4 * index. */
enum RLMetaNumber {
    kRLTimeCode = 0,
    kRLUserBits = 1,
    kRLVITCTimeCode = 2,
    kRLVITCUserBits = 3,
    kRLPosterFrame = 5,
    kRLAFrame = 6,
    kRLAspectRatio = 7,
    kRLOriginalRate = 8,
    kRLOriginalScale = 9,
    kRLFileSize = 12,
    kRLFileDate = 13,
    kRLFileTime = 14,
    kRLSequenceNumber = 15,
    kRLTotalStreams = 16,
    kRLTotalLength = 17,
    kRLTimeCodeType = 27,
    kRLLTCTimeCodeType = 28,
    kRLVITCTimeCodeType = 29
};
typedef struct RLMetadata {
    const char* texts[kRLMetaTextSlots]; /* 0 */
    uint32_t reserved792;                /* 792 */
    uint32_t numbers[kRLMetaNumbers];    /* 796 to 964 */
    uint32_t reserved968;                /* 968 */
    uint8_t reserved972[20];             /* 972 */
    uint32_t reserved992;                /* 992 */
    uint32_t reserved996;                /* 996 */
} RLMetadata;

/* Channel counts of an open file. */
typedef struct RLChannelCounts {
    uint32_t video;
    uint32_t audio;
    uint32_t info;
} RLChannelCounts;

/* A type code from the extension and the first bytes only (never a full
 * probe: directory scans call it for every file); RL_UNKNOWN otherwise. */
REELIO_EXPORT uint32_t rlGuessFileType(const char* path, uint32_t flags);
/* Fills what is passed non-zero: name (RL_LONG_DESCRIPTION_SIZE), short and
 * long description, capability flags, and the type's value (its code).
 * Returns 0, or RL_UNKNOWN for a code that names no type. */
REELIO_EXPORT uint32_t rlGetFileTypeInfo(uint32_t type, char* nameOut, char* shortOut,
                                         char* longOut, uint32_t* flagsOut, uint32_t* valueOut);
/* Opens a media file for reading (access, share, security, disposition and
 * attributes as for rvOSCreateFile); 0 when it cannot be read. */
REELIO_EXPORT RLHANDLE rlOpen(const char* path, uint32_t access, uint32_t share, void* security,
                              uint32_t disposition, uint32_t attributes, void* templateFile);
/* stream RL_UNKNOWN describes all streams. Fills each record passed non-zero
 * (the caller zeroes and presets them). Returns 0, or -1 for a bad handle. */
REELIO_EXPORT int32_t rlGetFileInfo(RLHANDLE* handle, uint32_t stream, RLPictureInfo* picture,
                                    RLStreamInfo* streamInfo, RLSoundInfo* sound,
                                    RLMetadata* metadata);
REELIO_EXPORT int32_t rlChannels(RLHANDLE* handle, uint32_t reserved1, RLChannelCounts* countsOut,
                                 uint32_t reserved2);
/* Closes the file and clears *handle. */
REELIO_EXPORT int32_t rlClose(RLHANDLE* handle);

#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(RLPictureInfo) == 356, "picture record");
static_assert(sizeof(RLStreamInfo) == 1428, "stream record");
static_assert(offsetof(RLStreamInfo, compressionDetail) == 40, "compression words");
static_assert(offsetof(RLStreamInfo, scale) == 1084, "scale");
static_assert(offsetof(RLStreamInfo, sampleSize) == 1112, "sample size");
static_assert(offsetof(RLStreamInfo, pitch) == 1396, "pitch");
static_assert(offsetof(RLStreamInfo, fileType) == 1404, "file type");
static_assert(sizeof(RLSoundInfo) == 1392, "sound record");
static_assert(offsetof(RLSoundInfo, audioBits) == 14, "audio bits");
static_assert(sizeof(void*) == 8, "metadata text slots are 8 bytes wide");
static_assert(offsetof(RLMetadata, reserved792) == 792, "metadata word 792");
static_assert(offsetof(RLMetadata, numbers) == 796, "metadata numbers");
static_assert(offsetof(RLMetadata, reserved968) == 968, "metadata word 968");
static_assert(offsetof(RLMetadata, reserved992) == 992, "metadata word 992");
static_assert(sizeof(RLMetadata) == 1000, "metadata record");
#endif

#endif

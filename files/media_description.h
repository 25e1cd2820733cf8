// The extended description of a media file: picture and stream format, sound,
// metadata texts, time codes and the numeric metadata of the media-file
// library's records.
#ifndef KXR_FILES_MEDIA_DESCRIPTION_H
#define KXR_FILES_MEDIA_DESCRIPTION_H

#include <cstdint>

#include <tinyxml.h>

#include "kxr/reelio.h"

namespace kxr {

class CMyHttpClient;

// Opens the file with the media-file library and appends its description to
// parent; a file the library cannot open adds nothing. Returns 1 when the
// file was left open (it never is), else 0.
int32_t AppendMediaDescription(CMyHttpClient* client, const char* decodedPath,
                               TiXmlElement* parent);

// The records as they are handed to the library: cleared, numeric metadata
// absent except the time codes, the poster frame and the A-frame.
void PresetMediaRecords(RLPictureInfo* picture, RLStreamInfo* stream, RLSoundInfo* sound,
                        RLMetadata* metadata);

// Appends the description of records that the library filled. The metadata's
// total length and time-code types may be adjusted on the way.
void AppendMediaRecords(CMyHttpClient* client, const char* decodedPath, const RLStreamInfo& stream,
                        const RLSoundInfo& sound, RLMetadata* metadata, TiXmlElement* parent);

} // namespace kxr

#endif

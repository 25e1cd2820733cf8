// Opening media files through FFmpeg (reelio_ffmpeg.cpp): every file whose
// header rlOpen does not read itself (DPX and WAVE).
#ifndef KXR_REELIO_OPEN_H
#define KXR_REELIO_OPEN_H

#include "reelio_media.h"

#include <cstdint>
#include <string>

namespace reelio {

// Fills `out` from the file's headers, without decoding pictures where the
// headers suffice. `guessedType` is the fast guess (RL_UNKNOWN if none).
bool OpenWithMediaLibrary(const std::string& path, uint32_t guessedType, MediaDescription& out);

} // namespace reelio

#endif

// Opening media files through FFmpeg (reelio_ffmpeg.cpp): every file whose
// header rlOpen does not read itself (DPX and WAVE).
#ifndef KXR_REELIO_OPEN_H
#define KXR_REELIO_OPEN_H

#include "reelio_media.h"
#include "reelio_source.h"

#include <cstdint>
#include <string>

namespace reelio {

// Fills `out` from the headers of `file`, opened from `path`, without
// decoding pictures where the headers suffice. `guessedType` is the fast
// guess (RL_UNKNOWN if none). The media library reads only `file`: it opens
// nothing by name.
bool OpenWithMediaLibrary(const std::string& path, SourceFile& file, uint32_t guessedType,
                          MediaDescription& out);

} // namespace reelio

#endif

// Opening media files through the media library the build links. A build
// without one compiles reelio_nomedia.cpp instead and can still read the
// headers we parse ourselves.
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

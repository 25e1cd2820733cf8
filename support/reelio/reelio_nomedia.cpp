// The opening of builds without a media library: only the headers Reelio
// parses itself (DPX, WAVE) can be described.
#include "reelio_open.h"

namespace reelio {

bool OpenWithMediaLibrary(const std::string&, SourceFile&, uint32_t, MediaDescription&) {
    return false;
}

} // namespace reelio

// Pictures on a build without a picture library (the Windows build: Debian
// has no FFmpeg for MinGW). Every request fails with a reason, which the
// engine logs as a failed picture; thumbnails, previews and frame grabs are
// then absent rather than wrong.
#include "picture.h"

namespace kxrengine {

namespace {
const char kNoPictures[] = "this build of the engine has no picture library";
}

bool DecodeFrame(const std::string& path, int32_t /*frame*/, RgbImage* /*out*/,
                 std::string* error) {
    if (error != nullptr) {
        *error = std::string(kNoPictures) + ": cannot decode " + path;
    }
    return false;
}

bool ScaleImage(const RgbImage& /*in*/, int /*width*/, int /*height*/, RgbImage* /*out*/,
                std::string* error) {
    if (error != nullptr) {
        *error = kNoPictures;
    }
    return false;
}

bool EncodeJpeg(const RgbImage& /*in*/, std::vector<uint8_t>* /*out*/, std::string* error) {
    if (error != nullptr) {
        *error = kNoPictures;
    }
    return false;
}

} // namespace kxrengine

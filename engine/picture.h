// Pictures of media frames: decode one frame, scale it, encode it as JPEG
// (picture_ffmpeg.cpp).
#ifndef KXR_ENGINE_PICTURE_H
#define KXR_ENGINE_PICTURE_H

#include <cstdint>
#include <string>
#include <vector>

namespace kxrengine {

// Packed 8-bit RGB, rows top to bottom without padding.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

// Decodes frame `frame` (counted from 0) of a media file; a still picture
// has only frame 0. False with a reason when the file cannot be decoded.
bool DecodeFrame(const std::string& path, int32_t frame, RgbImage* out, std::string* error);
// Scales to the given size (both at least 1).
bool ScaleImage(const RgbImage& in, int width, int height, RgbImage* out, std::string* error);
// Baseline JPEG of the picture.
bool EncodeJpeg(const RgbImage& in, std::vector<uint8_t>* out, std::string* error);

} // namespace kxrengine

#endif

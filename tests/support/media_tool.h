// Media files for the tests, made by the build machine's ffmpeg tool, and a
// look into the JPEG pictures the engine makes. The tool is a Linux program:
// a test running under Wine reaches it too (see media_tool.cpp).
#ifndef KXR_TESTS_MEDIA_TOOL_H
#define KXR_TESTS_MEDIA_TOOL_H

#include <filesystem>
#include <string>
#include <vector>

namespace kxrtest {

// Runs the tool quietly with `options` (inputs, codecs, metadata), writing
// `output`, which may be a numbered pattern such as "shot%04d.dpx". Empty
// when it succeeded, else what went wrong, with the tool's own messages.
std::string MakeMedia(const std::vector<std::string>& options, const std::filesystem::path& output);

// Width and height from a JPEG's start-of-frame segment; false when the
// bytes are no JPEG or have none.
bool JpegSize(const std::string& bytes, int* width, int* height);

} // namespace kxrtest

#endif

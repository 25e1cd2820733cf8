// The type table against the FFmpeg the build links: each type names a
// demuxer that is there and is named by an extension.
#include "reelio_types.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <set>
#include <string>

namespace {

TEST(ReelioDemuxers, EveryTypeHasItsDemuxerAndAnExtension) {
    std::set<std::string> named;
    for (const reelio::FileTypeEntry& type : reelio::FileTypes()) {
        SCOPED_TRACE(type.name);
        EXPECT_NE(av_find_input_format(type.demuxer), nullptr) << type.demuxer;
        const auto& extensions = reelio::FileExtensions();
        EXPECT_TRUE(
            std::any_of(extensions.begin(), extensions.end(),
                        [&type](const reelio::ExtensionEntry& e) { return e.code == type.code; }));
        named.insert(type.demuxer);
    }
#ifdef _WIN32
    // Linux links Debian's complete FFmpeg; Windows our own build, which
    // enables the table's demuxers and no other.
    std::set<std::string> enabled;
    void* state = nullptr;
    while (const AVInputFormat* demuxer = av_demuxer_iterate(&state)) {
        const std::string name = demuxer->name; // "mov,mp4,...": the first is the demuxer's own
        enabled.insert(name.substr(0, name.find(',')));
    }
    EXPECT_EQ(enabled, named);
#endif
}

} // namespace

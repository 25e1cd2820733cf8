// Feeds arbitrary bytes to the headers Reelio parses itself: DPX, WAVE (read
// in windows as from a file), the type guess and timecode texts.
#include "reelio_headers.h"
#include "reelio_timecode.h"
#include "reelio_types.h"

#include <algorithm>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    reelio::MediaDescription dpx;
    reelio::ReadDpxHeader(data, size, dpx);

    // Small windows too, so chunks that straddle a window edge are reached.
    const std::size_t window = size > 0 && data[size - 1] < 64 ? 16u + data[size - 1] * 64u
                                                               : reelio::WavReader::kWindowBytes;
    reelio::WavReader reader(size);
    uint64_t at = 0;
    for (int i = 0; i < 8 && (i == 0 || at != 0); ++i) {
        const std::size_t n = at < size ? std::min<std::size_t>(window, size - at) : 0;
        at = reader.Feed(n != 0 ? data + at : nullptr, n, at);
    }
    reelio::MediaDescription wave;
    reader.Finish(wave);

    reelio::GuessFileType("fuzz.dpx", data, std::min(size, reelio::kGuessBytes));

    const std::string_view text(reinterpret_cast<const char*>(data),
                                std::min<std::size_t>(size, 32));
    for (uint32_t scale : {1u, 1001u}) {
        reelio::StartTimeCode tc;
        reelio::TimeCodeTextToFrames(text, scale == 1 ? 25u : 30000u, scale, &tc);
    }
    return 0;
}

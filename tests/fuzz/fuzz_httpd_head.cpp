// Response heads from arbitrary record fields: status codes, content types
// from paths and extra header lines of any length, into buffers of any size.
#include <memory>

#include "fuzz_check.h"
#include "httpd/response_head.h"

void Fuzz(const uint8_t* data, size_t size) {
    using namespace kxr::httpd;
    if (size < 4)
        return;
    auto record = std::make_unique<ConnectionRecord>();
    std::memset(record.get(), 0, sizeof(ConnectionRecord));
    record->socket = kxr::platform::kInvalidSocket;
    const size_t capacity = 1 + static_cast<size_t>(data[1]) * 24;
    const std::string rest = Text(data + 4, size - 4);
    const size_t split = rest.find('\n');
    const std::string path = rest.substr(0, split);
    const std::string extra = split == std::string::npos ? std::string() : rest.substr(split + 1);

    ResetResponse(record.get());
    SetStatus(record.get(), static_cast<int32_t>(data[0]) * 3 + 100);
    SetContentTypeFromPath(record.get(), path.c_str());
    for (int i = 0; i <= (data[3] & 1); ++i)
        AddResponseHeaders(record.get(), extra.c_str());
    RequireTerminated(record->extraHeaders, kExtraHeadersSize);
    RequireTerminated(record->contentType, kContentTypeSize);
    auto buffer = std::make_unique<char[]>(capacity);
    const int32_t n = BuildResponseHead(record.get(), data[2] & 1, buffer.get(), capacity);
    Require(n >= 0 && static_cast<size_t>(n) < capacity);
    RequireTerminated(buffer.get(), capacity);
    Require(n == 0 || std::strlen(buffer.get()) == static_cast<size_t>(n));
}

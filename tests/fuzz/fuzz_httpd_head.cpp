// Response heads from arbitrary record fields: status codes, content types
// from paths and extra header lines of any length, into buffers of any size.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "httpd/response_head.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kxr::httpd;
    if (size < 4)
        return 0;
    auto record = std::make_unique<ConnectionRecord>();
    std::memset(record.get(), 0, sizeof(ConnectionRecord));
    record->socket = kxr::platform::kInvalidSocket;
    const int32_t code = static_cast<int32_t>(data[0]) * 3 + 100;
    const size_t capacity = 1 + static_cast<size_t>(data[1]) * 24;
    const int32_t headOnly = data[2] & 1;
    const std::string rest(reinterpret_cast<const char*>(data + 4), size - 4);
    const size_t split = rest.find('\n');
    const std::string path = rest.substr(0, split);
    const std::string extra = split == std::string::npos ? std::string() : rest.substr(split + 1);

    ResetResponse(record.get());
    SetStatus(record.get(), code);
    SetContentTypeFromPath(record.get(), path.c_str());
    AddResponseHeaders(record.get(), extra.c_str());
    if (data[3] & 1)
        AddResponseHeaders(record.get(), extra.c_str());
    if (std::strlen(record->extraHeaders) >= kExtraHeadersSize ||
        std::strlen(record->contentType) >= kContentTypeSize)
        __builtin_trap();
    auto buffer = std::make_unique<char[]>(capacity);
    const int32_t n = BuildResponseHead(record.get(), headOnly, buffer.get(), capacity);
    if (n < 0 || static_cast<size_t>(n) >= capacity ||
        std::memchr(buffer.get(), '\0', capacity) == nullptr)
        __builtin_trap();
    if (n > 0 && (buffer[static_cast<size_t>(n)] != '\0' ||
                  std::strlen(buffer.get()) != static_cast<size_t>(n)))
        __builtin_trap();
    return 0;
}

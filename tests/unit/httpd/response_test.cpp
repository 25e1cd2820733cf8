// Building an answer's head.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "httpd/mime_types.h"
#include "httpd/response_head.h"

namespace kxr::httpd {
namespace {

TEST(ResponseHeadTest, ContentTypeFromPath) {
    // What follows the last dot of the whole path names the type, in any case.
    const std::vector<std::pair<const char*, const char*>> cases = {{".//img/A.JPG", "image/jpeg"},
                                                                    {".//b.tar.gz", ""},
                                                                    {".//c.abcdefgh", ""},
                                                                    {".//dir.d/noext", ""},
                                                                    {".html", "text/html"}};
    for (const auto& [path, type] : cases) {
        ConnectionRecord record{};
        std::strcpy(record.contentType, "stale");
        SetContentTypeFromPath(&record, path);
        EXPECT_STREQ(record.contentType, type) << path;
    }
}

TEST(ResponseHeadTest, HttpDateUsesEnglishNamesAndTheDayClock) {
    char out[64];
    EXPECT_EQ(FormatHttpDate(1709643909, out, sizeof out), 29u);
    EXPECT_STREQ(out, "Tue, 05 Mar 2024 13:05:09 GMT");
    EXPECT_EQ(FormatHttpDate(0, out, 10), 9u);
}

TEST(ResponseHeadTest, HeadsAreCutToTheirBuffer) {
    ConnectionRecord record{};
    SetStatus(&record, 206);
    std::strcpy(record.contentType, "text/plain");
    char buffer[kSendBufferSize];
    const int32_t n = BuildResponseHead(&record, 0, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(n)).substr(n - 7), "GMT\r\n\r\n");
    // A tiny buffer cuts the head and keeps the zero.
    char small[20];
    EXPECT_EQ(BuildResponseHead(&record, 0, small, sizeof small), 19);
    EXPECT_EQ(std::string(small), "HTTP/1.1 206 Partia");

    // Extra headers are cut at their capacity; those that do not fit the head
    // are left out whole.
    ConnectionRecord big{};
    SetStatus(&big, 200);
    AddResponseHeaders(&big, "A: 1\r\n");
    AddResponseHeaders(&big, std::string(5000, 'h').c_str());
    EXPECT_EQ(std::strlen(big.extraHeaders), kExtraHeadersSize - 1);
    char room[80];
    const int32_t m = BuildResponseHead(&big, 1, room, sizeof room);
    EXPECT_EQ(std::string(room, static_cast<size_t>(m)).find('h'), std::string::npos);
    EXPECT_EQ(std::string(room).substr(0, 17), "HTTP/1.1 200 OK\r\n");
}

} // namespace
} // namespace kxr::httpd

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "httpd/mime_types.h"
#include "httpd/response_head.h"
#include "httpd/server_settings.h"
#include "httpd_test_support.h"

namespace kxr::httpd {
namespace {

class ResponseHeadTest : public testing::Test {
protected:
    void SetUp() override { SetServerDefaults(); }
    void TearDown() override { SetServerDefaults(); }
};

TEST_F(ResponseHeadTest, StatusRowsInTableOrder) {
    const int codes[kStatusRowCount] = {501, 200, 201, 206, 301, 304, 307, 400, 403, 404, 416,
                                        204, 401, 409, 411, 413, 422, 428, 429, 500, 503};
    const int errors[kStatusRowCount] = {1, 0, 0, 0, 1, 0, 0, 1, 1, 1, 1,
                                         0, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    for (int32_t i = 0; i < kStatusRowCount; ++i) {
        EXPECT_EQ(StatusTableRow(i).code, codes[i]) << i;
        EXPECT_EQ(StatusTableRow(i).isError, errors[i]) << i;
    }
    EXPECT_STREQ(StatusTableRow(6).reason, "Tempory Redirect");
    EXPECT_STREQ(StatusTableRow(10).reason, "Requested Range Not Satisfiable");
    EXPECT_STREQ(StatusTableRow(15).reason, "Payload Too Large");

    ConnectionRecord record{};
    const std::vector<std::pair<int, int32_t>> lookups = {{200, 1}, {304, 5}, {503, 20},
                                                          {302, 0}, {501, 0}, {0, 0}};
    for (const auto& [code, row] : lookups) {
        record.statusIndex = 7;
        SetStatus(&record, code);
        EXPECT_EQ(record.statusIndex, row) << code;
    }
}

TEST_F(ResponseHeadTest, MimeTableAndContentTypeFromPath) {
    const char* order[kMimeRowCount] = {
        "xhtml", "html", "htm", "css",    "js",   "mjs", "xml",  "txt", "c",   "h",
        "ini",   "cpp",  "log", "jpeg",   "jpg",  "png", "bmp",  "gif", "ico", "avi",
        "bin",   "csv",  "jar", "jsonld", "json", "mp3", "mpeg", "rtf", "wav"};
    for (size_t i = 0; i < kMimeRowCount; ++i)
        EXPECT_STREQ(MimeTableRow(i).extension, order[i]);

    const std::vector<std::pair<const char*, const char*>> cases = {
        {".//img/A.JPG", "image/jpeg"},
        {".//data.json", "application/json"},
        {".//data.jsonld", "application/ld+json"},
        {".//src/x.c", "text/plain"},
        {".//a.xhtml", "text/xhtml+xml"},
        {".//b.tar.gz", ""},
        {".//c.abcdefgh", ""},
        {".//noext", ""},
        {".//dir.d/noext", ""},
        {".html", "text/html"},
        {".//x.bin", "application/octet-stream"},
    };
    for (const auto& [path, type] : cases) {
        ConnectionRecord record{};
        std::strcpy(record.contentType, "stale");
        SetContentTypeFromPath(&record, path);
        EXPECT_STREQ(record.contentType, type) << path;
    }
}

TEST_F(ResponseHeadTest, ExtraHeadersAreCutAtTheirCapacity) {
    ConnectionRecord record{};
    AddResponseHeaders(&record, "A: 1\r\n");
    AddResponseHeaders(&record, "B: 2\r\n");
    EXPECT_STREQ(record.extraHeaders, "A: 1\r\nB: 2\r\n");
    const std::string big(5000, 'x');
    AddResponseHeaders(&record, big.c_str());
    EXPECT_EQ(std::strlen(record.extraHeaders), kExtraHeadersSize - 1);
    ResetResponse(&record);
    EXPECT_EQ(record.extraHeaders[0], '\0');
    EXPECT_EQ(record.statusIndex, 0);
}

TEST_F(ResponseHeadTest, HttpDateUsesEnglishNamesAndTheDayClock) {
    char out[64];
    // 2024-03-05 13:05:09 UTC, a Tuesday.
    EXPECT_EQ(FormatHttpDate(1709643909, out, sizeof out), 29u);
    EXPECT_STREQ(out, "Tue, 05 Mar 2024 13:05:09 GMT");
    FormatHttpDate(0, out, sizeof out);
    EXPECT_STREQ(out, "Thu, 01 Jan 1970 00:00:00 GMT");
    FormatHttpDate(1735689599, out, sizeof out);
    EXPECT_STREQ(out, "Tue, 31 Dec 2024 23:59:59 GMT");
    EXPECT_EQ(FormatHttpDate(0, out, 10), 9u);
}

TEST_F(ResponseHeadTest, SuccessHeadIsReturnedForTheCaller) {
    ConnectionRecord record{};
    SetStatus(&record, 206);
    std::strcpy(record.contentType, "text/plain");
    AddResponseHeaders(&record, "Content-Length: 3\r\n");
    char buffer[kSendBufferSize];
    const int32_t n = BuildResponseHead(&record, 0, buffer, sizeof buffer);
    ASSERT_GT(n, 0);
    const std::string head(buffer, static_cast<size_t>(n));
    EXPECT_EQ(test::WithoutDate(head), "HTTP/1.1 206 Partial Content\r\nContent-Type: "
                                       "text/plain\r\nContent-Length: 3\r\nServer: "
                                       "TarvikWebServer\r\n\r\n");
    EXPECT_NE(head.find("\r\nDate: "), std::string::npos);
    EXPECT_EQ(head.substr(head.size() - 7), "GMT\r\n\r\n");

    // Without the server name, a tiny buffer cuts the head and keeps the zero.
    const char* argv[] = {"--noname"};
    ParseServerOptions(1, argv);
    char small[20];
    const int32_t m = BuildResponseHead(&record, 0, small, sizeof small);
    EXPECT_EQ(m, 19);
    EXPECT_EQ(std::string(small), "HTTP/1.1 206 Partia");
    const int32_t k = BuildResponseHead(&record, 1, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(k)).find("Server:"), std::string::npos);
}

TEST_F(ResponseHeadTest, ExtraHeadersThatDoNotFitAreLeftOutWhole) {
    ConnectionRecord record{};
    SetStatus(&record, 200);
    AddResponseHeaders(&record, std::string(100, 'h').c_str());
    char buffer[80];
    const int32_t n = BuildResponseHead(&record, 1, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(n)).find('h'), std::string::npos);
    EXPECT_EQ(std::string(buffer).substr(0, 17), "HTTP/1.1 200 OK\r\n");
}

TEST_F(ResponseHeadTest, ErrorStatusesAreSentWithTheirPage) {
    {
        test::RecordOnPair rp;
        SetStatus(rp.record.get(), 302);
        char buffer[kSendBufferSize];
        EXPECT_EQ(BuildResponseHead(rp.record.get(), 0, buffer, sizeof buffer), 0);
        EXPECT_EQ(test::WithoutDate(rp.pair.ReadClient(100)),
                  "HTTP/1.1 501 Not Implemented\r\nServer: TarvikWebServer\r\n\r\n"
                  "<HTML><HEAD><TITLE>HTTP 501 - Not Implemented</TITLE></HEAD><BODY><H1>HTTP "
                  "501 - Not Implemented<H1><H3>TarvikWebServer</H3></BODY></HTML>");
    }
    {
        // A 301 carries its Location; a HEAD gets no page.
        test::RecordOnPair rp;
        SetStatus(rp.record.get(), 301);
        AddResponseHeaders(rp.record.get(), "Location: /docs/\r\n");
        char buffer[kSendBufferSize];
        EXPECT_EQ(BuildResponseHead(rp.record.get(), 1, buffer, sizeof buffer), 0);
        EXPECT_EQ(test::WithoutDate(rp.pair.ReadClient(100)),
                  "HTTP/1.1 301 Moved Permanently\r\nLocation: /docs/\r\nServer: "
                  "TarvikWebServer\r\n\r\n");
    }
    {
        const char* argv[] = {"--noname"};
        ParseServerOptions(1, argv);
        test::RecordOnPair rp;
        SetStatus(rp.record.get(), 404);
        char buffer[kSendBufferSize];
        EXPECT_EQ(BuildResponseHead(rp.record.get(), 0, buffer, sizeof buffer), 0);
        EXPECT_EQ(test::WithoutDate(rp.pair.ReadClient(100)),
                  "HTTP/1.1 404 Not Found\r\n\r\n<HTML><HEAD><TITLE>HTTP 404 - Not "
                  "Found</TITLE></HEAD><BODY><H1>HTTP 404 - Not Found<H1><H3></H3></BODY></HTML>");
    }
}

} // namespace
} // namespace kxr::httpd

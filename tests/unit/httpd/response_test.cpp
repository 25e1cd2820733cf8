// Building an answer: heads, error pages and directory listings.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "httpd/dir_listing.h"
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

TEST_F(ResponseHeadTest, ContentTypeFromPath) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {".//img/A.JPG", "image/jpeg"},
        {".//data.json", "application/json"},
        {".//b.tar.gz", ""},
        {".//c.abcdefgh", ""},
        {".//x.bin", "application/octet-stream"},
        {".//dir.d/noext", ""},
        {".html", "text/html"}};
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
    AddResponseHeaders(&record, std::string(5000, 'x').c_str());
    EXPECT_EQ(std::strlen(record.extraHeaders), kExtraHeadersSize - 1);
}

TEST_F(ResponseHeadTest, HttpDateUsesEnglishNamesAndTheDayClock) {
    char out[64];
    EXPECT_EQ(FormatHttpDate(1709643909, out, sizeof out), 29u);
    EXPECT_STREQ(out, "Tue, 05 Mar 2024 13:05:09 GMT");
    FormatHttpDate(1735689599, out, sizeof out);
    EXPECT_STREQ(out, "Tue, 31 Dec 2024 23:59:59 GMT");
    EXPECT_EQ(FormatHttpDate(0, out, 10), 9u);
}

TEST_F(ResponseHeadTest, HeadsAreCutToTheirBuffer) {
    ConnectionRecord record{};
    SetStatus(&record, 206);
    std::strcpy(record.contentType, "text/plain");
    char buffer[kSendBufferSize];
    const int32_t n = BuildResponseHead(&record, 0, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(n)).substr(n - 7), "GMT\r\n\r\n");

    // Without the server name, a tiny buffer cuts the head and keeps the zero.
    const char* argv[] = {"--noname"};
    ParseServerOptions(1, argv);
    char small[20];
    EXPECT_EQ(BuildResponseHead(&record, 0, small, sizeof small), 19);
    EXPECT_EQ(std::string(small), "HTTP/1.1 206 Partia");
    const int32_t k = BuildResponseHead(&record, 1, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(k)).find("Server:"), std::string::npos);

    // Extra headers that do not fit are left out whole.
    ConnectionRecord big{};
    SetStatus(&big, 200);
    AddResponseHeaders(&big, std::string(100, 'h').c_str());
    char room[80];
    const int32_t m = BuildResponseHead(&big, 1, room, sizeof room);
    EXPECT_EQ(std::string(room, static_cast<size_t>(m)).find('h'), std::string::npos);
    EXPECT_EQ(std::string(room).substr(0, 17), "HTTP/1.1 200 OK\r\n");
}

namespace fs = std::filesystem;

const std::string kHead =
    "HTTP/1.1 201 Created\r\nContent-Type: text/html\r\nServer: TarvikWebServer\r\n\r\n";
const std::string kNotFound = "HTTP/1.1 404 Not Found\r\n\r\n<HTML><HEAD><TITLE>HTTP 404 - Not "
                              "Found</TITLE></HEAD><BODY><H1>HTTP 404 - Not "
                              "Found<H1><H3></H3></BODY></HTML>";

class DirListingTest : public testing::Test {
protected:
    void SetUp() override {
        SetServerDefaults();
        kxrtest::WriteFile(tree.Path() / "docs" / "b.txt", "b");
        // Names are escaped; "&" and blanks are legal file-name characters everywhere.
        kxrtest::WriteFile(tree.Path() / "docs" / "A&b c.txt", "a");
        kxrtest::WriteFile(tree.Path() / "docs" / "sub" / "c.txt", "c");
        // Listed directories lie in the document root.
        rootArg = tree.Path().string();
        const char* argv[] = {"-r", rootArg.c_str()};
        ParseServerOptions(2, argv);
        previous = fs::current_path();
        fs::current_path(tree.Path());
    }
    void TearDown() override {
        fs::current_path(previous);
        SetServerDefaults();
    }
    std::string List(const char* target, int32_t headOnly = 0) {
        test::RecordOnPair rp;
        char path[kPathBufferSize];
        std::snprintf(path, sizeof path, "%s", target);
        ServeDirectoryListing(rp.record.get(), headOnly, path, sizeof path, path);
        return test::WithoutDate(rp.Sent());
    }
    kxrtest::TempDir tree{"httpd"};
    std::string rootArg;
    fs::path previous;
};

TEST_F(DirListingTest, ListsEntriesWithLinksAndSlashes) {
    EXPECT_EQ(List(".//docs/"),
              kHead +
                  "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">\n<HTML><HEAD><TITLE>Index "
                  "of /docs/</TITLE></HEAD><BODY><H1>Index of /docs/</H1><PRE><HR>\n"
                  "<A href=\"/\">../</A>\n"
                  "<A href=\"/docs/A%26b%20c.txt\">A&amp;b c.txt</A>\n"
                  "<A href=\"/docs/b.txt\">b.txt</A>\n"
                  "<A href=\"/docs/sub/\">sub/</A>\n"
                  "</PRE><HR><ADDRESS>TarvikWebServer Server Port 80</ADDRESS></BODY></HTML>");
    const std::string nested = List(".//docs/sub/");
    EXPECT_NE(nested.find("<A href=\"/docs/\">../</A>\n<A href=\"/docs/sub/c.txt\">c.txt</A>\n"),
              std::string::npos)
        << nested;
    EXPECT_EQ(List(".//").find("../"), std::string::npos);
}

TEST_F(DirListingTest, HeadOnlyNoNameNoDirListAndMissing) {
    EXPECT_EQ(List(".//docs/", 1), kHead);
    // A path longer than the reader's buffer is not opened.
    EXPECT_EQ(OpenDirectory((".//" + std::string(130, 'x') + "/").c_str()), nullptr);
    const char* noname[] = {"--noname"};
    ParseServerOptions(1, noname);
    const std::string page = List(".//docs/");
    EXPECT_EQ(page.substr(page.size() - 24), "</PRE><HR></BODY></HTML>");
    EXPECT_EQ(List(".//missing/"), kNotFound);
    EXPECT_EQ(List(".//docs/b.txt"), kNotFound);
    const char* nodirlist[] = {"--nodirlist"};
    ParseServerOptions(1, nodirlist);
    EXPECT_EQ(List(".//docs/"), kNotFound);
}

} // namespace
} // namespace kxr::httpd

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "httpd/dir_listing.h"
#include "httpd/server_settings.h"
#include "httpd_test_support.h"

namespace kxr::httpd {
namespace {

class DirListingTest : public testing::Test {
protected:
    void SetUp() override {
        SetServerDefaults();
        tree.Write("docs/b.txt", "b");
        // Names are listed unescaped; "&" is a legal file-name character on
        // every platform.
        tree.Write("docs/A&b.txt", "a");
        tree.MakeDir("docs/sub");
        tree.Write("docs/sub/c.txt", "c");
        previous = test::fs::current_path();
        test::fs::current_path(tree.root);
    }
    void TearDown() override {
        test::fs::current_path(previous);
        SetServerDefaults();
    }
    std::string List(const char* target, int32_t headOnly) {
        test::RecordOnPair rp;
        char path[kPathBufferSize];
        std::snprintf(path, sizeof path, "%s", target);
        ServeDirectoryListing(rp.record.get(), headOnly, path, sizeof path);
        return test::WithoutDate(rp.pair.ReadClient(100));
    }
    test::TempTree tree;
    test::fs::path previous;
};

const char kPageStart[] = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">\n<HTML><HEAD><TITLE>"
                          "Index of %s</TITLE></HEAD><BODY><H1>Index of %s</H1><PRE><HR>\n";

std::string PageStart(const std::string& shown) {
    char text[512];
    std::snprintf(text, sizeof text, kPageStart, shown.c_str(), shown.c_str());
    return text;
}

TEST_F(DirListingTest, ListsEntriesWithLinksAndSlashes) {
    EXPECT_EQ(List(".//docs/", 0),
              "HTTP/1.1 201 Created\r\nContent-Type: text/html\r\nServer: TarvikWebServer\r\n\r\n" +
                  PageStart("/docs/") +
                  "<A href=\"/\">../</A>\n"
                  "<A href=\"/docs/A&b.txt\">A&b.txt</A>\n"
                  "<A href=\"/docs/b.txt\">b.txt</A>\n"
                  "<A href=\"/docs/sub/\">sub/</A>\n"
                  "</PRE><HR><ADDRESS>TarvikWebServer Server Port 80</ADDRESS></BODY></HTML>");
}

TEST_F(DirListingTest, ParentOfANestedDirectoryAndRootWithoutParent) {
    const std::string nested = List(".//docs/sub/", 0);
    EXPECT_NE(nested.find("<A href=\"/docs/\">../</A>\n<A href=\"/docs/sub/c.txt\">c.txt</A>\n"),
              std::string::npos)
        << nested;
    const std::string root = List(".//", 0);
    EXPECT_EQ(root.find("../"), std::string::npos) << root;
    EXPECT_NE(root.find("<A href=\"/docs/\">docs/</A>\n"), std::string::npos) << root;
}

TEST_F(DirListingTest, HeadOnlyNoNameNoDirListAndMissing) {
    EXPECT_EQ(List(".//docs/", 1),
              "HTTP/1.1 201 Created\r\nContent-Type: text/html\r\nServer: TarvikWebServer\r\n\r\n");

    const char* noname[] = {"--noname"};
    ParseServerOptions(1, noname);
    const std::string page = List(".//docs/", 0);
    EXPECT_EQ(page.substr(page.size() - 24), "</PRE><HR></BODY></HTML>");

    const std::string notFound = "HTTP/1.1 404 Not Found\r\n\r\n<HTML><HEAD><TITLE>HTTP 404 - Not "
                                 "Found</TITLE></HEAD><BODY><H1>HTTP 404 - Not "
                                 "Found<H1><H3></H3></BODY></HTML>";
    EXPECT_EQ(List(".//missing/", 0), notFound);
    EXPECT_EQ(List(".//docs/b.txt", 0), notFound);
    const char* nodirlist[] = {"--nodirlist"};
    ParseServerOptions(1, nodirlist);
    EXPECT_EQ(List(".//docs/", 0), notFound);
}

TEST_F(DirListingTest, ReaderNormalisesAndBoundsItsPath) {
    const std::string longPath = ".//" + std::string(130, 'x') + "/";
    EXPECT_EQ(OpenDirectory(longPath.c_str()), nullptr);
    for (const char* path : {"", ".", "./", ".//docs", ".//docs/", ".//docs\\"}) {
        DirectoryList* list = OpenDirectory(path);
        ASSERT_NE(list, nullptr) << path;
        int count = 0;
        bool sawDot = false;
        for (const char* name = NextDirectoryEntry(list); name != nullptr;
             name = NextDirectoryEntry(list)) {
            ++count;
            sawDot = sawDot || std::strcmp(name, ".") == 0;
        }
        EXPECT_TRUE(sawDot) << path;
        EXPECT_GE(count, 3) << path;
        CloseDirectory(list);
    }
}

} // namespace
} // namespace kxr::httpd

#include "httpd/html_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(HtmlText, NamesNeverBecomeMarkupOrBrokenLinks) {
    EXPECT_EQ(kxr::httpd::HtmlText("<script>\"a&b\"</script>'"),
              "&lt;script&gt;&quot;a&amp;b&quot;&lt;/script&gt;'");
    const struct {
        std::string name;
        std::string link;
    } rows[] = {
        {"/Media/clips/a-b_c.~1.mov", "/Media/clips/a-b_c.~1.mov"},
        {"/a b&c?d#e%f", "/a%20b%26c%3Fd%23e%25f"},
        // Latin-1 and UTF-8 bytes, as the file system returns them.
        {"/caf\xE9/\xC3\xA9", "/caf%E9/%C3%A9"},
        {"\\x\"<>", "%5Cx%22%3C%3E"},
    };
    for (const auto& row : rows) {
        std::string out = "pre:";
        kxr::httpd::AppendUrlText(out, row.name);
        EXPECT_EQ(out, "pre:" + row.link) << row.name;
    }
}

} // namespace

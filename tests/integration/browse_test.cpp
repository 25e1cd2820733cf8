// Browsing through real HTTP: kxr-host with a configured file root, a client
// that walks the whole root entry by entry, every answer parsed as XML.
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <string>
#include <vector>

#include "host_process.h"

namespace {

// The Locator of one NextDirEntry answer; "" at the end of the list.
std::string Step(const kxrit::HostProcess& host, const std::string& argument) {
    const std::string body = kxrtest::Body(host.Get("/KXRXML/NextDirEntry?" + argument));
    EXPECT_EQ(body.rfind("<?xml version=\"1.0\" encoding=\"iso-8859-1\"", 0), 0u) << body;
    TiXmlDocument doc;
    doc.Parse(body.c_str());
    EXPECT_FALSE(doc.Error()) << body;
    const TiXmlElement* root = doc.RootElement();
    const TiXmlElement* locator = root != nullptr ? root->FirstChildElement("Locator") : nullptr;
    return locator != nullptr && locator->GetText() != nullptr ? locator->GetText() : "";
}

TEST(BrowseOverHttp, WalksAWholeRoot) {
    kxrit::HostProcess host;
    const std::filesystem::path files = host.Dir() / "files";
    kxrtest::WriteFile(files / "a.mov", "movie");
    kxrtest::WriteFile(files / "sub" / "x.txt", "x");
    for (const char* frame : {"seq0001.dpx", "seq0002.dpx", "seq0003.dpx"}) {
        kxrtest::WriteFile(files / frame, "");
    }
    ASSERT_TRUE(host.Start("[KXR.NetServer.FileDirs]\nMedia = '" + files.string() + "'\n"))
        << host.Failure();
    EXPECT_EQ(Step(host, ""), "\\RecordDrive");
    EXPECT_EQ(Step(host, "&%5CRecordDrive"), "\\Media");
    std::vector<std::string> walked;
    for (std::string next = Step(host, "%5CMedia"); !next.empty() && walked.size() < 20;
         next = Step(host, "%5CMedia&" + next)) {
        walked.push_back(next);
    }
    EXPECT_EQ(walked, (std::vector<std::string>{"\\Media\\..", "\\Media\\a.mov",
                                                "\\Media\\seq[0001-0003].dpx", "\\Media\\sub"}));
}

} // namespace

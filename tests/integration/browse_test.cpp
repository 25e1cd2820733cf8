// Browsing through real HTTP: kxr-host with configured roots, a client that
// walks a whole root entry by entry, every answer parsed as XML.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <tinyxml.h>

#include "host_process.h"
#include "platform/kxr_process.h"

namespace {

namespace fs = std::filesystem;
namespace plat = kxr::platform;

// kxr-host on a configuration with two file roots, ended by its pid.
class BrowseHost {
public:
    BrowseHost() {
        dir_ = fs::temp_directory_path() /
               ("kxrbrowse_" + std::to_string(plat::ProcessCurrentId()) + "_" +
                std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        for (const char* d : {"www", "rec", "media/sub", "logs"}) {
            fs::create_directories(dir_ / d);
        }
        kxrit::WriteFile(dir_ / "media" / "a.mov", "movie");
        kxrit::WriteFile(dir_ / "media" / "sub" / "x.txt", "x");
        for (int i = 1; i <= 3; ++i) {
            kxrit::WriteFile(dir_ / "media" / ("seq000" + std::to_string(i) + ".dpx"), "");
        }
    }
    ~BrowseHost() {
        if (process_ != plat::kNoProcess) {
            int ignored = 0;
            plat::ProcessKill(process_);
            plat::ProcessWait(process_, 10000, &ignored);
        }
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    bool Start() {
        port_ = kxrit::FreeLoopbackPort();
        const fs::path config = dir_ / "kxr.toml";
        kxrit::WriteFile(config,
                         "[KXR.NetServer]\nHTTPPort = " + std::to_string(port_) + "\nHTTPPath = '" +
                             (dir_ / "www").string() + "'\n[KXR.NetServer.FileDirs]\nMedia = '" +
                             (dir_ / "media").string() + "'\n[KXR.Internal0]\nDir = '" +
                             (dir_ / "rec").string() +
                             "'\n[KXR.Engine]\nChannels = 1\nDeterministic = 1\nLogDir = '" +
                             (dir_ / "logs").string() + "'\n");
        process_ = plat::ProcessSpawn({KXR_HOST_EXECUTABLE, "--config", config.string()},
                                      (dir_ / "host.log").string().c_str());
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (process_ != plat::kNoProcess && std::chrono::steady_clock::now() < until) {
            if (kxrit::CanConnect(port_)) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    uint16_t Port() const { return port_; }

private:
    fs::path dir_;
    uint16_t port_ = 0;
    plat::ProcessId process_ = plat::kNoProcess;
};

std::string Body(const std::string& answer) {
    const size_t start = answer.find("\r\n\r\n");
    return start == std::string::npos ? std::string() : answer.substr(start + 4);
}

// The Locator of one NextDirEntry answer; "" at the end of the list.
std::string Step(uint16_t port, const std::string& argument) {
    const std::string answer =
        kxrit::RawExchange(port, "GET /KXRXML/NextDirEntry?" + argument + " HTTP/1.1\r\n\r\n");
    const std::string body = Body(answer);
    EXPECT_EQ(body.rfind("<?xml version=\"1.0\" encoding=\"iso-8859-1\"", 0), 0u) << answer;
    TiXmlDocument doc;
    doc.Parse(body.c_str());
    EXPECT_FALSE(doc.Error()) << body;
    const TiXmlElement* root = doc.RootElement();
    if (root == nullptr) {
        return std::string();
    }
    const TiXmlElement* locator = root->FirstChildElement("Locator");
    return locator != nullptr && locator->GetText() != nullptr ? locator->GetText() : "";
}

TEST(BrowseOverHttp, WalksAWholeRoot) {
    BrowseHost host;
    ASSERT_TRUE(host.Start());
    EXPECT_EQ(Step(host.Port(), ""), "\\RecordDrive");
    EXPECT_EQ(Step(host.Port(), "&%5CRecordDrive"), "\\Media");
    std::vector<std::string> walked;
    std::string previous;
    for (int guard = 0; guard < 20; ++guard) {
        const std::string next =
            Step(host.Port(), previous.empty() ? "%5CMedia" : "%5CMedia&" + previous);
        if (next.empty()) {
            break;
        }
        walked.push_back(next);
        previous = next;
    }
    EXPECT_EQ(walked, (std::vector<std::string>{"\\Media\\..", "\\Media\\a.mov",
                                                "\\Media\\seq[0001-0003].dpx", "\\Media\\sub"}));
}

} // namespace

// Files below a configured root, asked for by their locators through the
// real kxr-host.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "host_process.h"

namespace fs = std::filesystem;
namespace plat = kxr::platform;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// A host whose configuration names the root Media.
class MediaRootHost : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = fs::temp_directory_path() /
               ("kxr_it_roots_" + std::to_string(plat::ProcessCurrentId()));
        fs::remove_all(dir_);
        kxrit::WriteFile(dir_ / "www" / "index.html", "home");
        kxrit::WriteFile(dir_ / "media" / "clips" / "a.mov", movie_);
        kxrit::WriteFile(dir_ / "media" / "clips" / "two words.mov", "spaced");
        kxrit::WriteFile(dir_ / "media" / "seq" / "clip0001.dpx", "frame one");
        kxrit::WriteFile(dir_ / "media" / "seq" / "clip0002.dpx", "frame two");
        fs::create_directories(dir_ / "logs");
        port_ = kxrit::FreeLoopbackPort();
        const fs::path config = dir_ / "kxr.toml";
        kxrit::WriteFile(config, "[KXR.NetServer]\nHTTPPort = " + std::to_string(port_) +
                                     "\nHTTPPath = '" + (dir_ / "www").string() +
                                     "'\n\n[KXR.NetServer.FileDirs]\nMedia = '" +
                                     (dir_ / "media").string() +
                                     "'\n\n[KXR.Engine]\nChannels = 1\nDeterministic = 1\n"
                                     "LogDir = '" +
                                     (dir_ / "logs").string() + "'\n");
        const fs::path log = dir_ / "host.log";
        process_ = plat::ProcessSpawn({KXR_HOST_EXECUTABLE, "--config", config.string()},
                                      log.string().c_str());
        const std::string serving = "serving http://127.0.0.1:" + std::to_string(port_) + "/";
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (process_ != plat::kNoProcess && std::chrono::steady_clock::now() < until) {
            if (ReadAll(log).find(serving) != std::string::npos && kxrit::CanConnect(port_)) {
                started_ = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    static void TearDownTestSuite() {
        if (process_ != plat::kNoProcess) {
            int code = 0;
            if (!plat::ProcessRequestStop(process_) || !plat::ProcessWait(process_, 10000, &code)) {
                plat::ProcessKill(process_);
                plat::ProcessWait(process_, 5000, &code);
            }
            process_ = plat::kNoProcess;
        }
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    void SetUp() override { ASSERT_TRUE(started_) << ReadAll(dir_ / "host.log"); }

    // Status line and body of a GET.
    static std::pair<std::string, std::string> Get(const std::string& target) {
        const std::string answer =
            kxrit::RawExchange(port_, "GET " + target + " HTTP/1.1\r\nHost: x\r\n\r\n");
        const size_t lineEnd = answer.find("\r\n");
        const size_t headEnd = answer.find("\r\n\r\n");
        if (lineEnd == std::string::npos || headEnd == std::string::npos) {
            return {answer, ""};
        }
        return {answer.substr(0, lineEnd), answer.substr(headEnd + 4)};
    }

    static inline fs::path dir_;
    static inline uint16_t port_ = 0;
    static inline plat::ProcessId process_ = plat::kNoProcess;
    static inline bool started_ = false;
    static inline const std::string movie_ = std::string("\0\0\0\x14"
                                                         "ftypqt  ",
                                                         12) +
                                             std::string(70000, 'm') + "end";
};

TEST_F(MediaRootHost, ServesFilesBelowTheRootByTheirLocators) {
    const struct {
        const char* target;
        std::string body;
    } rows[] = {
        {"/Media/clips/a.mov", movie_},
        {"/Media/clips/two%20words.mov", "spaced"},
        {"/Media%5Cclips%5Ca.mov", movie_},
        // A range form is served as its first frame.
        {"/Media/seq/clip[0001-0002].dpx", "frame one"},
    };
    for (const auto& row : rows) {
        const auto [status, body] = Get(row.target);
        EXPECT_EQ(status, "HTTP/1.1 200 OK") << row.target;
        EXPECT_TRUE(body == row.body) << row.target << ": " << body.size() << " bytes";
    }
}

TEST_F(MediaRootHost, MissingFilesAndUnknownRootsAre404) {
    for (const char* target :
         {"/Media/clips/none.mov", "/Other/clips/a.mov", "/media/clips/a.mov"}) {
        EXPECT_EQ(Get(target).first, "HTTP/1.1 404 Not Found") << target;
    }
    // The document root is still served beside the roots.
    EXPECT_EQ(Get("/index.html"),
              std::make_pair(std::string("HTTP/1.1 200 OK"), std::string("home")));
}

} // namespace

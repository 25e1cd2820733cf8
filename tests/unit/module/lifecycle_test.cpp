#include "module/lifecycle.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "httpd/listener.h"
#include "kxr/rvutil.h"
#include "module/check_virtual.h"
#include "module/engine_binding.h"
#include "module/module_state.h"
#include "module_test_util.h"
#include "platform/kxr_file.h"
#include "platform/kxr_path.h"
#include "platform/kxr_socket.h"
#include "tests/support/fake_engine.h"

namespace {

namespace fs = std::filesystem;
using kxrtest::TempDir;

const std::string kRunningWarning = "WARNING(kHTTPD2): HTTP server is already running\n";
const std::string kWaitingWarning = "WARNING(kHTTPD2): Waiting for HTTP server thread to exit\n";

// A configuration file of its own for each test; the store goes back to
// memory afterwards.
class ModuleConfig : public ::testing::Test {
protected:
    ModuleConfig() : dir_("lifecycle") {}
    void TearDown() override {
        if (kxr::ListenerThreadHandle() != nullptr) {
            kxr::kxrQuit();
        }
        kxr::SetHttpCallback(nullptr);
        rvCFGOpen(nullptr);
    }
    void OpenConfig(const std::string& text) {
        config_ = dir_.Path() / "kxr.toml";
        kxrtest::WriteFile(config_, text);
        ASSERT_EQ(rvCFGOpen(config_.string().c_str()), 0);
    }
    // A server configuration on a free loopback port with a document root.
    uint16_t ServerConfig() {
        const uint16_t port = kxrtest::FreeLoopbackPort();
        fs::create_directories(dir_.Path() / "www");
        kxrtest::WriteFile(dir_.Path() / "www" / "index.html", "<p>home</p>");
        // A literal TOML string: a Windows path keeps its backslashes.
        OpenConfig("[KXR.NetServer]\nHTTPPort = " + std::to_string(port) + "\nHTTPPath = '" +
                   (dir_.Path() / "www").string() + "'\n");
        return port;
    }
    TempDir dir_;
    fs::path config_;
};

TEST(ModuleExports, FixedResultsChangeNothing) {
    kxrtest::FakeEngine engine;
    int dummy = 0;
    EXPECT_EQ(kxr::kxrOpen(0), -1);
    EXPECT_EQ(kxr::kxrOpen(7), int64_t{-1});
    EXPECT_EQ(kxr::kxrClose(&dummy), 0);
    EXPECT_EQ(kxr::kxrCmd(&dummy, &dummy), 0);
    EXPECT_EQ(kxr::kxrConfigure(3, &dummy), 0);
    EXPECT_EQ(dummy, 0);
    EXPECT_TRUE(engine.Calls().empty());
    EXPECT_EQ(kxr::ListenerThreadHandle(), nullptr);
}

int32_t HostMediaCmd(int32_t, MediaCmd* record) {
    record->position = 4242;
    return 0;
}

TEST(ModuleExports, MediaCmdSlotFallsBackToTheEngine) {
    kxrtest::FakeEngine engine;
    kxr::SetMediaCmdHandler(nullptr); // the slot follows the installed engine
    MediaCmd record{};
    record.cmd = kCmdGetState;

    EXPECT_EQ(kxr::httpdSetMediaCmd(0, &HostMediaCmd), 0);
    EXPECT_EQ(kxr::MediaCmdHandler(), &HostMediaCmd);
    kxr::RunMediaCmd(2, &record);
    EXPECT_EQ(record.position, 4242);
    EXPECT_TRUE(engine.Calls().empty());

    EXPECT_EQ(kxr::httpdSetMediaCmd(0, nullptr), 0);
    EXPECT_EQ(kxr::MediaCmdHandler(), engine.Table().mediaCmd);
    kxr::RunMediaCmd(2, &record);
    ASSERT_EQ(engine.Calls().size(), 1u);
    EXPECT_EQ(engine.Calls()[0].ordinal, static_cast<unsigned>(kOrdMediaCmd));
    EXPECT_EQ(engine.Calls()[0].args, (std::vector<int64_t>{2, kCmdGetState}));
}

TEST(ModuleExports, HttpCallbackSlotSetsAndClears) {
    auto callback = [](const char*, char**) -> int32_t { return -1; };
    EXPECT_EQ(kxr::kxrHttpdCallback(callback), 0);
    EXPECT_EQ(kxr::HttpCallback(), static_cast<kxr::HttpCallbackFn>(callback));
    EXPECT_EQ(kxr::kxrHttpdCallback(nullptr), 0);
    EXPECT_EQ(kxr::HttpCallback(), nullptr);
}

TEST(EngineBinding, AMissingEngineAnswersNeutrally) {
    EXPECT_FALSE(kxr::BindEngineLibrary("/nonexistent/libkxrengine.so"));
    EXPECT_FALSE(kxr::EngineIsBound());
    const EngineTable& e = kxr::Engine();
    // Every entry can be called.
    void* entries[sizeof(EngineTable) / sizeof(void*)];
    std::memcpy(entries, &e, sizeof entries);
    for (void* entry : entries) {
        EXPECT_NE(entry, nullptr);
    }
    char text[kEngineNameSize] = "stale";
    EXPECT_EQ(e.getChannelCount(), 0u);
    e.getChannelName(0, text);
    EXPECT_STREQ(text, "");
    char clip[kEngineClipNameSize] = "        ";
    e.getNextClip(0, clip);
    EXPECT_EQ(clip[0], '\0');
    EXPECT_EQ(
        e.timelineNext(0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, text, 0),
        ENGINE_NO_VALUE);
    EXPECT_EQ(e.getAudioInLevel(0), ENGINE_NO_VALUE);
    EXPECT_EQ(e.getRevisionText(), nullptr);
    e.freeText(nullptr);
    MediaCmd record{};
    record.position = 5;
    EXPECT_EQ(e.mediaCmd(0, &record), -1);
    EXPECT_EQ(record.position, 5);
}

TEST(EngineBinding, BindsTheRealEngineByOrdinal) {
    ASSERT_TRUE(kxr::BindEngineLibrary(KXR_ENGINE_LIBRARY));
    EXPECT_TRUE(kxr::EngineIsBound());
    const EngineTable& e = kxr::Engine();
    EXPECT_GT(e.getChannelCount(), 0u);
    char name[kEngineNameSize] = "";
    e.getChannelName(0, name);
    EXPECT_STRNE(name, "");
    char state[kEngineShortTextSize] = "";
    e.getStateText(0, state);
    EXPECT_STRNE(state, "");

    // A fake takes the bound engine's place and gives it back.
    {
        kxrtest::FakeEngine fake;
        EXPECT_EQ(&kxr::Engine(), &fake.Table());
    }
    EXPECT_EQ(kxr::Engine().getChannelCount, e.getChannelCount);
    kxr::UnbindEngine();
    EXPECT_FALSE(kxr::EngineIsBound());
    EXPECT_EQ(kxr::Engine().getChannelCount(), 0u);
}

TEST_F(ModuleConfig, MissingPortIsWrittenBackAs80) {
    OpenConfig("[KXR.NetServer]\nHTTPPath = \"/srv\"\n");
    EXPECT_EQ(kxr::ReadConfiguredPort(), 80u);
    uint32_t stored = 0;
    EXPECT_EQ(rvCFGValueDword(RV_CFG_ROOT, "KXR\\NetServer", "HTTPPort", &stored, 0), 0);
    EXPECT_EQ(stored, 80u);
    EXPECT_NE(kxrtest::ReadFile(config_).find("HTTPPort = 80"), std::string::npos);

    OpenConfig("[KXR.NetServer]\nHTTPPort = 8123\n");
    EXPECT_EQ(kxr::ReadConfiguredPort(), 8123u);
}

TEST_F(ModuleConfig, RootCandidateComesFromTheStoreOrTheBuiltInRoots) {
    char candidate[kxr::kRootCandidateSize];
    OpenConfig("[KXR.NetServer]\nHTTPPath = \"/srv/a\"\n[KXR.NetServer.HttpDirs]\nPath = "
               "\"/srv/b\"\n");
    kxr::ReadRootCandidate(candidate);
    EXPECT_STREQ(candidate, "/srv/a");

    OpenConfig("[KXR.NetServer.HttpDirs]\nPath = \"/srv/b\"\n");
    kxr::ReadRootCandidate(candidate);
    EXPECT_STREQ(candidate, "/srv/b");

    // The built-in roots are looked up as given: on Windows on drive C:, on
    // POSIX relative to the current directory (here the test's own).
    OpenConfig("[KXR.NetServer]\nHTTPPort = 1\n");
    const std::string saved = kxr::platform::DirectoryCurrent();
    ASSERT_TRUE(kxr::platform::DirectoryChange(dir_.Path().string().c_str()));
    const fs::path defaultRoot = kxr::platform::NativePath(kxr::kDefaultRoot);
    const fs::path fallbackRoot = kxr::platform::NativePath(kxr::kFallbackRoot);
    if (fs::exists(defaultRoot) || fs::exists(fallbackRoot)) {
        ADD_FAILURE() << "a built-in root is there before the test: " << defaultRoot << ", "
                      << fallbackRoot;
        kxr::platform::DirectoryChange(saved.c_str());
        return;
    }
    // Only the folders that this test makes are removed again.
    std::vector<fs::path> made;
    for (const char* top : {"C:\\share", "C:\\UwAmp"}) {
        const fs::path folder = kxr::platform::NativePath(top);
        if (!fs::exists(folder)) {
            made.push_back(folder);
        }
    }
    kxr::ReadRootCandidate(candidate);
    EXPECT_STREQ(candidate, "C:\\share\\inetpub\\");
    fs::create_directories(fallbackRoot);
    kxr::ReadRootCandidate(candidate);
    EXPECT_STREQ(candidate, "C:\\UwAmp\\www\\");
    fs::create_directories(defaultRoot);
    kxr::ReadRootCandidate(candidate);
    EXPECT_STREQ(candidate, "C:\\share\\inetpub\\");
    for (const fs::path& folder : made) {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    ASSERT_TRUE(kxr::platform::DirectoryChange(saved.c_str()));
}

TEST_F(ModuleConfig, StartTwiceWarnsAndKeepsOneListener) {
    const uint16_t port = ServerConfig();
    kxrtest::ErrorLogCapture log;
    ASSERT_EQ(kxr::kxrInit(nullptr), 0);
    ASSERT_EQ(kxr::kxrStart(), 0);
    const RVHANDLE first = kxr::ListenerThreadHandle();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(kxr::httpd::ListeningPort(), port);
    EXPECT_TRUE(kxrtest::CanConnect(port));

    EXPECT_EQ(kxr::kxrStart(), 0);
    EXPECT_EQ(log.Count(kRunningWarning), 1u);
    EXPECT_EQ(kxr::ListenerThreadHandle(), first);

    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(kxr::kxrQuit(), 0u);
    const auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_LT(took, std::chrono::seconds(3));
    // The query that sees the ended thread warns too.
    EXPECT_EQ(log.Count(kWaitingWarning), 1u);
    EXPECT_EQ(kxr::ListenerThreadHandle(), nullptr);
    EXPECT_FALSE(kxr::ModuleSectionReady());
    EXPECT_FALSE(kxrtest::CanConnect(port));
}

TEST_F(ModuleConfig, QuitThenStartRunsANewListener) {
    const uint16_t port = ServerConfig();
    kxr::kxrInit(nullptr);
    ASSERT_EQ(kxr::kxrStart(), 0);
    ASSERT_EQ(kxr::kxrQuit(), 0u);
    ASSERT_FALSE(kxrtest::CanConnect(port));

    kxrtest::ErrorLogCapture log;
    kxr::kxrInit(nullptr);
    ASSERT_EQ(kxr::kxrStart(), 0);
    EXPECT_NE(kxr::ListenerThreadHandle(), nullptr);
    EXPECT_EQ(log.Count(kRunningWarning), 0u);
    EXPECT_TRUE(kxrtest::CanConnect(port));
    EXPECT_EQ(kxr::kxrQuit(), 0u);
}

TEST_F(ModuleConfig, QuitWithoutListenerReturnsAtOnce) {
    kxrtest::ErrorLogCapture log;
    kxr::kxrInit(nullptr);
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(kxr::kxrQuit(), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(2));
    EXPECT_EQ(log.Count(kWaitingWarning), 0u);
    EXPECT_FALSE(kxr::ModuleSectionReady());
}

TEST_F(ModuleConfig, AListenerThatCouldNotBindIsStale) {
    // The configured port is taken, so the listener thread ends at once.
    const uint16_t port = ServerConfig();
    const kxr::platform::SocketHandle taken = kxr::platform::SocketOpenTcp();
    ASSERT_TRUE(kxr::platform::SocketBind(taken, 0, port));
    ASSERT_TRUE(kxr::platform::SocketListen(taken, 1));

    kxrtest::ErrorLogCapture log;
    kxr::kxrInit(nullptr);
    ASSERT_EQ(kxr::kxrStart(), 0);
    ASSERT_NE(kxr::ListenerThreadHandle(), nullptr);
    uint32_t code = 259;
    for (int i = 0; i < 200 && code == 259; ++i) {
        rvOSGetExitCodeThread(kxr::ListenerThreadHandle(), &code, "test");
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(code, 0u);
    // Started but ended: no warning, no new thread.
    const RVHANDLE stale = kxr::ListenerThreadHandle();
    EXPECT_EQ(kxr::kxrStart(), 0);
    EXPECT_EQ(log.Count(kRunningWarning), 0u);
    EXPECT_EQ(kxr::ListenerThreadHandle(), stale);
    EXPECT_EQ(kxr::kxrQuit(), 0u);
    EXPECT_EQ(kxr::ListenerThreadHandle(), nullptr);
    kxr::platform::SocketClose(taken);
}

int32_t RelayCallback(const char* text, char** answerOut) {
    if (std::strstr(text, "/vorn?request") == nullptr) {
        return 0;
    }
    static const char body[] = "{\"ok\":1}";
    *answerOut = static_cast<char*>(RVAlloc(sizeof body));
    std::memcpy(*answerOut, body, sizeof body);
    return static_cast<int32_t>(sizeof body - 1);
}

TEST_F(ModuleConfig, TheRunningServerRoutesThroughTheModule) {
    const uint16_t port = ServerConfig();
    kxr::kxrInit(nullptr);
    kxr::kxrHttpdCallback(&RelayCallback);
    ASSERT_EQ(kxr::kxrStart(), 0);

    EXPECT_EQ(kxrtest::Exchange(port, "GET /vorn?request=1 HTTP/1.1\r\nHost: a\r\n\r\n"),
              "HTTP/1.1 200 OK\r\nConnection: close\r\nCache-Control: no-cache\r\n"
              "Content-Length:8\r\nServer: TarvikWebServer/7.0\r\n"
              "Content-Type: application/json\r\n\r\n{\"ok\":1}");
    // A callback answering 0 leaves the path to the file server.
    const std::string config = kxrtest::Exchange(port, "GET /config?x HTTP/1.1\r\n\r\n");
    EXPECT_EQ(config.rfind("HTTP/1.1 404", 0), 0u) << config;
    EXPECT_EQ(kxr::kxrQuit(), 0u);
}

// ---- kxrCheckVirtual ----

std::string mappedTo;
bool mapperThrows = false;

int32_t SlashesToBackslashes(kxr::CMyHttpClient*, char* text) {
    for (char* c = text; *c != '\0'; ++c) {
        if (*c == '/') {
            *c = '\\';
        }
    }
    return 0;
}

int32_t MapToFixedPath(kxr::CMyHttpClient*, char* text) {
    if (mapperThrows) {
        throw std::runtime_error("mapping failed");
    }
    std::snprintf(text, 256, "%s", mappedTo.c_str());
    return 1;
}

class CheckVirtual : public ::testing::Test {
protected:
    void SetUp() override { saved_ = kxr::GetVirtualPathOps(); }
    void TearDown() override {
        kxr::SetVirtualPathOps(saved_);
        mapperThrows = false;
        kxr::ModuleSectionDelete();
    }
    kxr::VirtualPathOps saved_{};
};

TEST_F(CheckVirtual, WithoutRootsNothingIsVirtual) {
    kxr::SetVirtualPathOps(kxr::VirtualPathOps{nullptr, nullptr});
    char path[256] = "\\Media\\a.mov";
    EXPECT_EQ(kxr::kxrCheckVirtual(path), 0);
    EXPECT_STREQ(path, "\\Media\\a.mov");
    EXPECT_EQ(kxr::kxrCheckVirtual(nullptr), 0);
}

TEST_F(CheckVirtual, AnswersTheMappingOnlyForAnExistingFile) {
    TempDir dir("virtual");
    kxrtest::WriteFile(dir.Path() / "a.mov", "x");
    kxr::SetVirtualPathOps(kxr::VirtualPathOps{&SlashesToBackslashes, &MapToFixedPath});

    mappedTo = (dir.Path() / "a.mov").string();
    char path[256] = "Media/a.mov";
    EXPECT_EQ(kxr::kxrCheckVirtual(path), 1);
    EXPECT_EQ(std::string(path), mappedTo);

    mappedTo = (dir.Path() / "missing.mov").string();
    char other[256] = "Media/missing.mov";
    EXPECT_EQ(kxr::kxrCheckVirtual(other), 0);
    EXPECT_EQ(std::string(other), mappedTo);
}

TEST_F(CheckVirtual, AnExceptionAnswers0AndLeavesTheSection) {
    kxr::kxrInit(nullptr);
    kxr::SetVirtualPathOps(kxr::VirtualPathOps{nullptr, &MapToFixedPath});
    mapperThrows = true;
    char path[256] = "\\Media\\a.mov";
    EXPECT_EQ(kxr::kxrCheckVirtual(path), 0);
    // Another thread can take the section now.
    std::atomic<bool> entered{false};
    std::thread other([&] {
        kxr::ModuleSectionEnter();
        entered = true;
        kxr::ModuleSectionLeave();
    });
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!entered.load() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(entered.load());
    other.join();
}

} // namespace

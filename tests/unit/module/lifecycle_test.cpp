#include "module/lifecycle.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "binding/callback_slots.h"
#include "binding/engine_binding.h"
#include "module/check_virtual.h"
#include "module/module_state.h"
#include "rest/rest_events.h"
#include "tests/support/err_log_capture.h"
#include "tests/support/fake_engine.h"
#include "tests/support/net_test_util.h"

namespace {

namespace fs = std::filesystem;
namespace plat = kxr::platform;
using Clock = std::chrono::steady_clock;

const std::string kRunningWarning = "WARNING(kHTTPD2): HTTP server is already running\n";
const std::string kWaitingWarning = "WARNING(kHTTPD2): Waiting for HTTP server thread to exit\n";

TEST(ModuleExports, MediaCmdSlotFallsBackToTheEngine) {
    kxrtest::FakeEngine engine;
    kxr::SetMediaCmdHandler(nullptr); // the slot follows the installed engine
    MediaCmd record{};
    record.cmd = kCmdGetState;
    const auto handler = [](int32_t, MediaCmd* r) -> int32_t { return r->position = 4242, 0; };
    EXPECT_EQ(kxr::httpdSetMediaCmd(0, handler), 0);
    kxr::RunMediaCmd(2, &record);
    EXPECT_EQ(record.position, 4242);
    EXPECT_TRUE(engine.Calls().empty());

    EXPECT_EQ(kxr::httpdSetMediaCmd(0, nullptr), 0);
    kxr::RunMediaCmd(2, &record);
    ASSERT_EQ(engine.Calls().size(), 1u);
    EXPECT_EQ(engine.Calls()[0].ordinal, static_cast<unsigned>(kOrdMediaCmd));
    EXPECT_EQ(engine.Calls()[0].args, (std::vector<int64_t>{2, kCmdGetState}));
}

TEST(EngineBinding, AMissingEngineAnswersNeutrally) {
    EXPECT_FALSE(kxr::BindEngineLibrary("/nonexistent/libkxrengine.so") || kxr::EngineIsBound());
    const EngineTable& e = kxr::Engine();
    // Every entry can be called.
    void* entries[sizeof(EngineTable) / sizeof(void*)];
    std::memcpy(entries, &e, sizeof entries);
    for (void* entry : entries)
        EXPECT_NE(entry, nullptr);
    char text[kEngineNameSize] = "stale";
    e.getChannelName(0, text);
    MediaCmd record{};
    record.position = 5;
    EXPECT_EQ(std::make_tuple(std::string(text), e.getAudioInLevel(0), e.mediaCmd(0, &record),
                              record.position),
              std::make_tuple(std::string(), ENGINE_NO_VALUE, -1, 5));
}

// A configuration file of its own for each test; the store goes back to
// memory afterwards.
class ModuleConfig : public ::testing::Test {
protected:
    void TearDown() override {
        if (kxr::ListenerThreadHandle() != nullptr)
            kxr::kxrQuit();
        rvCFGOpen(nullptr);
    }
    void OpenConfig(const std::string& text) {
        ASSERT_TRUE(kxrtest::WriteFile(config_, text));
        ASSERT_EQ(rvCFGOpen(config_.string().c_str()), 0);
    }
    // A server configuration on a free loopback port; a literal TOML string
    // keeps a Windows path's backslashes.
    uint16_t ServerConfig(const std::string& extra = "") {
        const uint16_t port = kxrtest::FreeLoopbackPort();
        fs::create_directories(dir_.Path() / "www");
        OpenConfig("[KXR.NetServer]\nHTTPPort = " + std::to_string(port) + "\nHTTPPath = '" +
                   (dir_.Path() / "www").string() + "'\n" + extra);
        return port;
    }
    void StartModule() {
        ASSERT_EQ(kxr::kxrInit(nullptr), 0);
        ASSERT_EQ(kxr::kxrStart(), 0);
    }
    kxrtest::TempDir dir_{"lifecycle"};
    fs::path config_ = dir_.Path() / "kxr.toml";
};

TEST_F(ModuleConfig, MissingPortIsWrittenBackAs80) {
    OpenConfig("[KXR.NetServer]\nHTTPPath = \"/srv\"\n");
    EXPECT_EQ(kxr::ReadConfiguredPort(), 80u);
    EXPECT_NE(kxrtest::ReadFile(config_).find("HTTPPort = 80"), std::string::npos);
    OpenConfig("[KXR.NetServer]\nHTTPPort = 8123\n");
    EXPECT_EQ(kxr::ReadConfiguredPort(), 8123u);
}

TEST_F(ModuleConfig, StartTwiceWarnsQuitStopsAndStartRunsAgain) {
    const uint16_t port = ServerConfig();
    kxrtest::ErrorLogCapture log;
    StartModule();
    const RVHANDLE first = kxr::ListenerThreadHandle();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(kxrtest::CanConnect(port));
    EXPECT_EQ(kxr::kxrStart(), 0);
    EXPECT_EQ(log.Count(kRunningWarning), 1u);
    EXPECT_EQ(kxr::ListenerThreadHandle(), first);

    const auto begin = Clock::now();
    EXPECT_EQ(kxr::kxrQuit(), 0u);
    EXPECT_LT(Clock::now() - begin, std::chrono::seconds(3));
    // The query that sees the ended thread warns too.
    EXPECT_EQ(log.Count(kWaitingWarning), 1u);
    EXPECT_EQ(kxr::ListenerThreadHandle(), nullptr);
    EXPECT_FALSE(kxr::ModuleSectionReady());
    EXPECT_FALSE(kxrtest::CanConnect(port));

    // A quit module starts a new listener without a warning.
    StartModule();
    EXPECT_TRUE(kxrtest::CanConnect(port));
    EXPECT_EQ(log.Count(kRunningWarning), 1u);
    EXPECT_EQ(kxr::kxrQuit(), 0u);
}

TEST_F(ModuleConfig, EventsArePublishedBetweenStartAndQuitOnly) {
    kxrtest::FakeEngine engine;
    engine.SetResult(kOrdGetChannelCount, 1);
    ServerConfig("MaxEventStreams = 3\n");
    kxr::rest::EventHub& hub = kxr::rest::TheEventHub();
    kxrtest::ErrorLogCapture log;
    StartModule();
    EXPECT_TRUE(hub.IsOpen() && hub.Cap() == 3u);
    // A channel that moves is published by the publisher's next sample.
    const uint64_t before = hub.LastId();
    engine.SetResult(kOrdGetFrame, 10);
    const auto until = Clock::now() + std::chrono::seconds(2);
    while (hub.LastId() == before && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GT(hub.LastId(), before);

    EXPECT_EQ(kxr::kxrQuit(), 0u);
    EXPECT_FALSE(hub.IsOpen());
    const uint64_t quit = hub.LastId();
    engine.SetResult(kOrdGetFrame, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(hub.LastId(), quit); // no sampling after kxrQuit
}

TEST_F(ModuleConfig, QuitReturnsOnlyAfterTheConnectionThreadsEnded) {
    const uint16_t port = ServerConfig();
    kxrtest::ErrorLogCapture log;
    StartModule();
    // A client that connects and sends nothing holds a connection thread
    // until its request wait runs out.
    const plat::SocketHandle client = plat::SocketOpenTcp();
    ASSERT_TRUE(plat::SocketConnect(client, plat::kIpv4Loopback, port));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(kxr::kxrQuit(), 0u);
    // By then the thread has closed the connection: the client sees its end
    // at once.
    EXPECT_EQ(plat::SocketWaitReadable(client, 0), 1);
    char byte = 0;
    EXPECT_EQ(plat::SocketReceive(client, &byte, 1), 0);
    plat::SocketClose(client);
}

// A path mapping that fails must not leave the module's section held: every
// later request would wait for it.
class CheckVirtual : public ::testing::Test {
protected:
    void TearDown() override {
        kxr::SetVirtualPathOps(saved_);
        kxr::ModuleSectionDelete();
    }
    kxr::VirtualPathOps saved_ = kxr::GetVirtualPathOps();
};

TEST_F(CheckVirtual, AnExceptionAnswers0AndLeavesTheSection) {
    kxr::kxrInit(nullptr);
    kxr::SetVirtualPathOps(kxr::VirtualPathOps{nullptr, [](kxr::CMyHttpClient*, char*) -> int32_t {
                                                   throw std::runtime_error("mapping failed");
                                               }});
    char path[256] = "\\Media\\a.mov";
    EXPECT_EQ(kxr::kxrCheckVirtual(path), 0);
    // Another thread can take the section now.
    auto other = std::async(std::launch::async, [] {
        kxr::ModuleSectionEnter();
        kxr::ModuleSectionLeave();
    });
    EXPECT_EQ(other.wait_for(std::chrono::seconds(5)), std::future_status::ready);
}

} // namespace

#include "module/lifecycle.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <exception>

#include "access/access_log.h"
#include "access/access_policy.h"
#include "access/containment.h"
#include "httpd/connection.h"
#include "httpd/connection_pool.h"
#include "httpd/listener.h"
#include "httpd/server_settings.h"
#include "kxr/rvutil.h"
#include "module/check_virtual.h"
#include "module/module_state.h"
#include "module/router.h"
#include "platform/kxr_socket.h"
#include "rest/rest_events.h"

namespace kxr {

namespace {

constexpr uint32_t kStartSettleMs = 100;
constexpr uint32_t kQuitSettleMs = 125;
constexpr uint32_t kQuitPollMs = 250;
constexpr int kQuitPollLimit = 20;
// An event stream blocked in a send gives up after its send time-out (5 s).
constexpr uint32_t kStreamsLeaveMs = 6000;
// A connection that has answered closes within its drain (500 ms); one held
// longer (a slow client, a producer that hangs) is not waited for beyond this.

// Read by the listener, cleared by kxrQuit.
std::atomic<int32_t> listenerRunning{1};
RVHANDLE listenerThread = nullptr;
uint32_t listenerThreadId = 0;
char rootCandidate[kRootCandidateSize];
// The option parser keeps a pointer to the interface text.
constexpr size_t kInterfaceTextSize = 64;
char interfaceText[kInterfaceTextSize];

void WinsockExitHook() {
    platform::SocketCleanup();
}

// The exit hooks kxrInit registered, run when the module is unloaded. A
// static object's destructor runs then under every runtime; atexit called
// from a library is not always tied to that library (a sanitizer's runtime
// keeps the hook past the unload and calls it at process exit).
struct ExitHooks {
    std::atomic<int> registered{0};
    ~ExitHooks() {
        for (int n = registered.load(); n > 0; --n)
            WinsockExitHook();
    }
};
ExitHooks exitHooks;

// Set by the listener when connection threads outlived its stop.
std::atomic<bool> connectionsRemain{false};

uint32_t ListenerThreadMain(void* argument) {
    try {
        const httpd::ServerSettings& settings = httpd::GetServerSettings();
        const int32_t result =
            httpd::RunServer(settings.interface, static_cast<uint16_t>(settings.port),
                             static_cast<const std::atomic<int32_t>*>(argument));
        connectionsRemain.store(result == httpd::kConnectionsStillRunning);
    } catch (...) {
        // The thread ends as after any other stop of the server.
    }
    return 0;
}

// A configured number of milliseconds or a count, or the default.
uint32_t ReadLimit(const char* name, uint32_t fallback) {
    uint32_t value = 0;
    return rvCFGValueDword(RV_CFG_ROOT, kNetServerKey, name, &value, 0) == 0 ? value : fallback;
}

void ApplyConnectionLimits() {
    httpd::PoolLimits limits;
    limits.maxConnections = ReadLimit("MaxConnections", limits.maxConnections);
    limits.sendTimeoutMs = ReadLimit("SendTimeoutMs", limits.sendTimeoutMs);
    limits.headTimeoutMs = ReadLimit("HeadTimeoutMs", limits.headTimeoutMs);
    httpd::SetPoolLimits(limits);
}

int32_t RouteConnection(ConnectionRecord* record) {
    return kxr::kxrHttpdRequest(record);
}

int32_t CheckVirtualPath(char* path) {
    return kxr::kxrCheckVirtual(path);
}

void CopyText(char (&target)[kRootCandidateSize], const char* text) {
    std::snprintf(target, sizeof target, "%s", text);
}

} // namespace

void Warn(const char* text) {
    ErrFmtOut(RV_ERR_WARNING, 0, 0, "WARNING(kHTTPD2): %s\n", text);
}

RVHANDLE ListenerThreadHandle() {
    return listenerThread;
}

int32_t kxrInit(void* /*reserved*/) {
    ModuleSectionCreate();
    // Runs when the module is unloaded; each kxrInit registers it again.
    exitHooks.registered.fetch_add(1);
    return 0;
}

int64_t kxrOpen(uint32_t /*reserved*/) {
    return -1;
}

int32_t kxrClose(void* /*reserved*/) {
    return 0;
}

int32_t kxrCmd(void* /*reserved1*/, void* /*reserved2*/) {
    return 0;
}

int32_t kxrConfigure(uint32_t /*reserved1*/, void* /*reserved2*/) {
    return 0;
}

uint32_t ReadConfiguredPort() {
    uint32_t port = 0;
    if (rvCFGValueDword(RV_CFG_ROOT, kNetServerKey, "HTTPPort", &port, 0) != 0) {
        port = kDefaultHttpPort;
        rvCFGValueDword(RV_CFG_ROOT, kNetServerKey, "HTTPPort", &port, 1);
    }
    return port;
}

bool ReadConfinement() {
    uint32_t value = 1;
    if (rvCFGValueDword(RV_CFG_ROOT, kNetServerKey, "Confine", &value, 0) != 0) {
        value = 1;
    }
    return value != 0;
}

void ReadRootCandidate(char (&candidate)[kRootCandidateSize]) {
    CopyText(candidate, kDefaultRoot);
    if (!rvOSFileExists(candidate) && rvOSFileExists(kFallbackRoot)) {
        CopyText(candidate, kFallbackRoot);
    }
    uint32_t size = kRootCandidateSize;
    if (rvCFGValueString(RV_CFG_ROOT, kNetServerKey, "HTTPPath", candidate, &size, 0) != 0) {
        size = kRootCandidateSize;
        rvCFGValueString(RV_CFG_ROOT, kHttpDirsKey, "Path", candidate, &size, 0);
    }
    candidate[kRootCandidateSize - 1] = '\0';
}

// "Interface": the address to listen on; empty when it is not configured.
void ReadInterface(char (&text)[kInterfaceTextSize]) {
    uint32_t size = kInterfaceTextSize;
    if (rvCFGValueString(RV_CFG_ROOT, kNetServerKey, "Interface", text, &size, 0) != 0)
        text[0] = '\0';
    text[kInterfaceTextSize - 1] = '\0';
}

size_t ReadConfiguredStreamCap() {
    return ReadLimit("MaxEventStreams", static_cast<uint32_t>(rest::kDefaultMaxEventStreams));
}

// The access log, when "AccessLog" names a file; none otherwise.
void OpenConfiguredAccessLog() {
    char path[RV_MAX_PATH] = {};
    uint32_t size = sizeof path;
    if (rvCFGValueString(RV_CFG_ROOT, kNetServerKey, "AccessLog", path, &size, 0) == 0 &&
        path[0] != '\0') {
        path[sizeof path - 1] = '\0';
        access::OpenAccessLog(path);
    } else {
        access::CloseAccessLog();
    }
}

// The configured default document ("HTTPDefName", "DefaultFile") is not
// handed on: the server always serves "index.html" as its default document.
int32_t kxrStart() {
    if (listenerThread != nullptr) {
        uint32_t code = RV_STILL_ACTIVE;
        if (rvOSGetExitCodeThread(listenerThread, &code, "httpd-check") == 1 &&
            code == RV_STILL_ACTIVE) {
            Warn("HTTP server is already running");
        }
        return 0;
    }
    try {
        httpd::ResetServerSettings();
        const uint32_t port = ReadConfiguredPort();
        ReadRootCandidate(rootCandidate);
        access::SetConfinement(ReadConfinement());
        if (!access::ConfinementOn()) {
            Warn("Confine = 0: clients may read any file this process can read");
        }

        char portText[16];
        std::snprintf(portText, sizeof portText, "%i", static_cast<int32_t>(port));
        ReadInterface(interfaceText);
        const char* const argv[] = {"-p", portText, "-r", rootCandidate, "-i", interfaceText};
        // Without an "Interface" the server listens on every interface.
        httpd::ParseServerOptions(interfaceText[0] != '\0' ? 6 : 4, argv);
        httpd::OpenServerLog(httpd::GetServerSettings().logFileName);
        OpenConfiguredAccessLog();
        ApplyConnectionLimits();
        // Read at every start, before the first connection is accepted.
        access::LoadAccessSettings();
        rest::StartEvents(ReadConfiguredStreamCap());

        httpd::SetRequestHooks(httpd::RequestHooks{&RouteConnection, &CheckVirtualPath});
        listenerRunning.store(1);
        listenerThread = rvOSCreateThread(nullptr, 0, &ListenerThreadMain, &listenerRunning, 0,
                                          &listenerThreadId, "kxrHttpd2::kxrListenThread");
        rvOSCloseThread(listenerThread, "kxrHTTPD2::listener");
        rvOSSleep(kStartSettleMs);
        return 0;
    } catch (...) {
        return -1;
    }
}

uint32_t kxrQuit() {
    httpd::CloseListenSocket();
    httpd::StopListening();
    listenerRunning.store(0);
    // The publisher ends and every event stream leaves before the module
    // section goes.
    rest::StopEvents(kStreamsLeaveMs);
    rvOSSleep(kQuitSettleMs);

    // Without a thread there is nothing to wait for.
    uint32_t code = listenerThread != nullptr ? RV_STILL_ACTIVE : 0;
    int polls = 0;
    while (code == RV_STILL_ACTIVE) {
        if (rvOSGetExitCodeThread(listenerThread, &code, "httpd-check") == 1) {
            Warn("Waiting for HTTP server thread to exit");
        } else {
            // A handle that stopped answering counts against the same limit.
            code = RV_STILL_ACTIVE;
        }
        if (++polls > kQuitPollLimit) {
            return kQuitTimedOut;
        }
        rvOSSleep(kQuitPollMs);
    }
    if (connectionsRemain.exchange(false)) {
        // Their threads still run the module's code: it must stay loaded.
        return kQuitTimedOut;
    }
    access::CloseAccessLog();
    ModuleSectionDelete();
    listenerThreadId = 0;
    listenerThread = nullptr;
    return 0;
}

int32_t httpdSetMediaCmd(uint32_t /*reserved*/, MediaCmdHandlerFn handler) {
    SetMediaCmdHandler(handler);
    return 0;
}

int32_t kxrHttpdCallback(HttpCallbackFn callback) {
    SetHttpCallback(callback);
    return 0;
}

} // namespace kxr

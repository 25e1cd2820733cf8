// kxr-host: loads the engine and the web-server module, owns the
// configuration file, answers the module's relayed paths and runs until it
// is asked to stop.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "access/password_hash.h"
#include "host/host_callback.h"
#include "host/host_config.h"
#include "kxr/engine.h"
#include "kxr/httpd2.h"
#include "kxr/rvutil.h"
#include "platform/kxr_dynlib.h"
#include "platform/kxr_file.h"
#include "platform/kxr_process.h"
#include "platform/kxr_signal.h"
#include "platform/kxr_socket.h"

#ifndef KXR_HOST_DEFAULT_CONFIG
#error "the build names the demo configuration in KXR_HOST_DEFAULT_CONFIG"
#endif

namespace {

namespace plat = kxr::platform;

struct Options {
    std::string config = KXR_HOST_DEFAULT_CONFIG;
    std::string root;
    std::string engine;
    std::string module;
    std::string interface;
    long port = 0;
    // --hash-password NAME ROLE: print a user's line instead of serving.
    bool hashPassword = false;
    std::string userName;
    std::string userRole;
};

// Without --interface or an "Interface" of its own, the demo host serves
// this machine only.
constexpr char kDefaultInterface[] = "127.0.0.1";

void PrintUsage(const char* program) {
    std::printf(
        "Usage: %s [--config FILE] [--port N] [--root DIR] [--interface ADDR] [--engine LIB]"
        " [--module LIB]\n"
        "       %s --hash-password NAME ROLE < password\n"
        "  --config FILE  configuration file (default: %s)\n"
        "  --port N       serve on port N; stored in the configuration\n"
        "  --root DIR     serve DIR as the document root; stored in the configuration\n"
        "  --interface ADDR  listen on the IPv4 address ADDR (0.0.0.0: every interface);\n"
        "                 stored in the configuration (default: 127.0.0.1)\n"
        "  --engine LIB   engine library (default: beside kxr-host, else the build's)\n"
        "  --module LIB   web-server module (default: beside kxr-host, else the build's)\n"
        "  --hash-password NAME ROLE  reads a password from standard input and prints\n"
        "                 the line that gives user NAME (letters, digits, _ and -) that\n"
        "                 password and ROLE (viewer, operator or admin) under\n"
        "                 [KXR.NetServer.Users]\n"
        "Relative paths in the configuration are taken from the file's directory.\n"
        "Stop with Ctrl-C (SIGINT) or SIGTERM.\n",
        program, program, KXR_HOST_DEFAULT_CONFIG);
}

// 0: run; 1: stop with success (help); 2: bad arguments.
int ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            PrintUsage(argv[0]);
            return 1;
        }
        if (arg == "--hash-password") {
            if (i + 2 >= argc) {
                std::fprintf(stderr, "kxr-host: --hash-password needs a NAME and a ROLE\n");
                return 2;
            }
            options->hashPassword = true;
            options->userName = argv[++i];
            options->userRole = argv[++i];
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "kxr-host: %s needs a value\n", arg.c_str());
            return 2;
        }
        const char* value = argv[++i];
        if (arg == "--config") {
            options->config = value;
        } else if (arg == "--root") {
            options->root = value;
        } else if (arg == "--engine") {
            options->engine = value;
        } else if (arg == "--module") {
            options->module = value;
        } else if (arg == "--interface") {
            if (plat::Ipv4Parse(value) == 0xFFFFFFFFu) {
                std::fprintf(stderr, "kxr-host: bad interface \"%s\": an IPv4 address\n", value);
                return 2;
            }
            options->interface = value;
        } else if (arg == "--port") {
            char* end = nullptr;
            options->port = std::strtol(value, &end, 10);
            if (end == value || *end != '\0' || options->port < 1 || options->port > 65535) {
                std::fprintf(stderr, "kxr-host: bad port \"%s\"\n", value);
                return 2;
            }
        } else {
            std::fprintf(stderr, "kxr-host: unknown option \"%s\"\n", arg.c_str());
            return 2;
        }
    }
    return 0;
}

// The library beside the executable when there is one, else the build's.
std::string LibraryPath(const std::string& given, const char* fileName, const char* built) {
    if (!given.empty()) {
        return given;
    }
    const std::string here =
        plat::LoadedImageDirectory(reinterpret_cast<const void*>(&LibraryPath));
    if (!here.empty()) {
        const std::string beside = here + "/" + fileName;
        if (plat::PathExists(beside.c_str())) {
            return beside;
        }
    }
    return built;
}

int CannotStore(const char* option, const std::string& configPath) {
    std::fprintf(stderr, "kxr-host: cannot store %s in the configuration \"%s\"; not started\n",
                 option, configPath.c_str());
    return 1;
}

std::string ConfiguredInterface() {
    char text[64] = {};
    uint32_t size = sizeof text;
    if (rvCFGValueString(RV_CFG_ROOT, "KXR\\NetServer", "Interface", text, &size, 0) != 0)
        return std::string();
    text[sizeof text - 1] = '\0';
    return text;
}

template <typename Fn> Fn Export(void* library, const char* name) {
    return reinterpret_cast<Fn>(plat::SharedLibrarySymbol(library, name));
}

// Prints the configuration line of a user whose password comes on standard
// input (its first line, without the line end). The exit code of kxr-host.
int PrintUserLine(const Options& options) {
    namespace access = kxr::access;
    const std::optional<access::Role> role = access::RoleFromName(options.userRole);
    if (!access::IsValidUserName(options.userName)) {
        std::fprintf(stderr, "kxr-host: a user name is 1 to %zu letters, digits, \"_\" or \"-\"\n",
                     access::kMaxUserNameLength);
        return 2;
    }
    if (!role) {
        std::fprintf(stderr, "kxr-host: the role is viewer, operator or admin\n");
        return 2;
    }
    std::string password;
    for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar())
        password.push_back(static_cast<char>(c));
    if (!password.empty() && password.back() == '\r')
        password.pop_back();
    if (password.empty() || !access::IsPossiblePassword(password)) {
        std::fprintf(stderr,
                     "kxr-host: give the password on standard input: one line of 1 to %zu "
                     "characters without control characters\n",
                     access::kMaxPasswordLength);
        return 2;
    }
    access::PasswordEntry entry;
    if (!access::MakePasswordEntry(*role, password, access::kDefaultIterations, &entry)) {
        std::fprintf(stderr, "kxr-host: the system's crypto library failed\n");
        return 1;
    }
    std::printf("%s\n", access::UserConfigLine(options.userName, entry).c_str());
    return 0;
}

std::string CurrentAbsolute(const std::string& path) {
    return kxrhost::MakeAbsolute(plat::DirectoryCurrent(), path);
}

} // namespace

int main(int argc, char** argv) {
    // Messages reach a log at once.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (!plat::StopRequestCapture()) {
        std::fprintf(stderr, "kxr-host: cannot take over SIGINT and SIGTERM\n");
        return 1;
    }
    Options options;
    if (const int parsed = ParseOptions(argc, argv, &options); parsed != 0) {
        return parsed == 1 ? 0 : 2;
    }
    if (options.hashPassword) {
        return PrintUserLine(options);
    }

    const std::string configPath = CurrentAbsolute(options.config);
    if (rvCFGOpen(configPath.c_str()) != 0) {
        std::fprintf(stderr, "kxr-host: cannot read the configuration \"%s\"\n",
                     configPath.c_str());
        return 1;
    }
    // The module reads these from the store: a value that cannot be stored
    // would be quietly replaced by its default.
    if (options.port != 0) {
        uint32_t port = static_cast<uint32_t>(options.port);
        if (rvCFGValueDword(RV_CFG_ROOT, "KXR\\NetServer", "HTTPPort", &port, 1) != 0)
            return CannotStore("--port", configPath);
    }
    if (!options.root.empty()) {
        std::string root = CurrentAbsolute(options.root);
        uint32_t size = 0;
        if (rvCFGValueString(RV_CFG_ROOT, "KXR\\NetServer", "HTTPPath", root.data(), &size, 1) != 0)
            return CannotStore("--root", configPath);
    }
    if (!options.interface.empty() || ConfiguredInterface().empty()) {
        std::string interface =
            options.interface.empty() ? std::string(kDefaultInterface) : options.interface;
        uint32_t size = 0;
        if (rvCFGValueString(RV_CFG_ROOT, "KXR\\NetServer", "Interface", interface.data(), &size,
                             1) != 0)
            return CannotStore("--interface", configPath);
    }
    kxrhost::MakeConfigPathsAbsolute(kxrhost::DirectoryOf(configPath));

    // Directory requests and listings are answered relative to the root.
    const std::string documentRoot = kxrhost::ConfiguredDocumentRoot();
    if (!documentRoot.empty() && !plat::DirectoryChange(documentRoot.c_str())) {
        std::fprintf(stderr, "kxr-host: cannot enter the document root \"%s\"\n",
                     documentRoot.c_str());
    }

    // The engine first: the module then finds this instance already loaded.
    const std::string enginePath =
        LibraryPath(options.engine, KXR_HOST_ENGINE_FILE_NAME, KXR_HOST_ENGINE);
    void* engine = plat::LoadSharedLibrary(enginePath.c_str());
    if (engine == nullptr) {
        std::fprintf(stderr, "kxr-host: no engine (%s); serving without one\n",
                     plat::SharedLibraryError().c_str());
    } else {
        kxrhost::SetHostEngine(engine);
    }

    const std::string modulePath =
        LibraryPath(options.module, KXR_HOST_MODULE_FILE_NAME, KXR_HOST_MODULE);
    void* module = plat::LoadSharedLibrary(modulePath.c_str());
    if (module == nullptr) {
        std::fprintf(stderr, "kxr-host: cannot load the module: %s\n",
                     plat::SharedLibraryError().c_str());
        return 1;
    }
    auto init = Export<KxrInitFn>(module, "kxrInit");
    auto setCallback = Export<KxrHttpdCallbackFn>(module, "kxrHttpdCallback");
    auto start = Export<KxrStartFn>(module, "kxrStart");
    auto quit = Export<KxrQuitFn>(module, "kxrQuit");
    if (init == nullptr || setCallback == nullptr || start == nullptr || quit == nullptr) {
        std::fprintf(stderr, "kxr-host: \"%s\" is not the web-server module\n", modulePath.c_str());
        return 1;
    }

    if (init(nullptr) != 0) {
        std::fprintf(stderr, "kxr-host: kxrInit failed\n");
    }
    setCallback(&kxrhost::HostHttpCallback);
    if (start() != 0) {
        std::fprintf(stderr, "kxr-host: kxrStart failed\n");
        return 1;
    }
    uint32_t port = 0;
    rvCFGValueDword(RV_CFG_ROOT, "KXR\\NetServer", "HTTPPort", &port, 0);
    std::string shown = ConfiguredInterface();
    if (shown == "0.0.0.0")
        shown = "127.0.0.1"; // every interface, this machine's among them
    std::printf("kxr-host: serving http://%s:%u/ (document root %s)\n", shown.c_str(), port,
                documentRoot.c_str());
    // The control panel ships in the demo root; another root may lack it.
    if (plat::PathExists((documentRoot + "/panel/index.html").c_str()))
        std::printf("kxr-host: control panel http://%s:%u/panel/\n", shown.c_str(), port);

    const int signal = plat::StopRequestWait();
    std::printf("kxr-host: stopping on signal %d\n", signal);
    const uint32_t stopped = quit();
    setCallback(nullptr);
    if (stopped == KXR_QUIT_TIMED_OUT) {
        // The server thread still runs in the module: it stays loaded.
        std::fprintf(stderr, "kxr-host: the server did not stop in time\n");
        return 1;
    }
    plat::FreeSharedLibrary(module);
    kxrhost::SetHostEngine(nullptr);
    plat::FreeSharedLibrary(engine);
    std::printf("kxr-host: stopped\n");
    return 0;
}

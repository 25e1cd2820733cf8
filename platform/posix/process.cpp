#include "platform/kxr_process.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace kxr::platform {

ProcessId ProcessSpawn(const std::vector<std::string>& argv, const char* outputPath) {
    if (argv.empty()) {
        return kNoProcess;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        return kNoProcess;
    }
    if (posix_spawnattr_init(&attributes) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return kNoProcess;
    }
    bool ready = true;
    if (outputPath != nullptr && *outputPath != '\0') {
        ready = posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath,
                                                 O_WRONLY | O_CREAT | O_APPEND, 0644) == 0 &&
                posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO) == 0;
    }
    // The child starts with a clean signal state whatever the parent blocks.
    sigset_t none;
    sigset_t stops;
    sigemptyset(&none);
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGPIPE);
    ready =
        ready && posix_spawnattr_setsigmask(&attributes, &none) == 0 &&
        posix_spawnattr_setsigdefault(&attributes, &stops) == 0 &&
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0;
    pid_t pid = -1;
    if (ready && posix_spawn(&pid, args[0], &actions, &attributes, args.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return pid > 0 ? static_cast<ProcessId>(pid) : kNoProcess;
}

bool ProcessRequestStop(ProcessId process) {
    return process > 0 && kill(static_cast<pid_t>(process), SIGTERM) == 0;
}

bool ProcessKill(ProcessId process) {
    return process > 0 && kill(static_cast<pid_t>(process), SIGKILL) == 0;
}

bool ProcessWait(ProcessId process, uint32_t timeoutMs, int* exitCodeOut) {
    if (process <= 0) {
        return false;
    }
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(static_cast<pid_t>(process), &status, WNOHANG);
        if (done == static_cast<pid_t>(process)) {
            if (exitCodeOut != nullptr) {
                *exitCodeOut = WIFEXITED(status)     ? WEXITSTATUS(status)
                               : WIFSIGNALED(status) ? 128 + WTERMSIG(status)
                                                     : -1;
            }
            return true;
        }
        if (done < 0 && errno != EINTR) {
            return false;
        }
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const int64_t elapsedMs =
            (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
        if (elapsedMs >= static_cast<int64_t>(timeoutMs)) {
            return false;
        }
        const timespec pause{0, 5 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
}

ProcessId ProcessCurrentId() {
    return static_cast<ProcessId>(getpid());
}

std::string LoadedImageDirectory(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
        return std::string();
    }
    std::string path = info.dli_fname;
    if (path.find('/') == std::string::npos) {
        // The main program may be reported by its bare name.
        char self[4096];
        const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
        if (n <= 0) {
            return std::string();
        }
        path.assign(self, static_cast<size_t>(n));
    }
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return std::string();
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

} // namespace kxr::platform

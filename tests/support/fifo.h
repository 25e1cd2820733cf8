// A FIFO that nobody writes to, for tests of code that must never wait for
// one (POSIX only: Windows has no FIFOs in its file system).
#ifndef KXR_TESTS_FIFO_H
#define KXR_TESTS_FIFO_H

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <utility>

namespace kxrtest {

class Fifo {
public:
    explicit Fifo(std::string path)
        : path_(std::move(path)), made_(mkfifo(path_.c_str(), 0644) == 0) {}
    Fifo(const Fifo&) = delete;
    Fifo& operator=(const Fifo&) = delete;

    bool Made() const { return made_; }
    const std::string& Path() const { return path_; }

    // Runs call on a thread of its own; true when it returned within limit.
    // When it did not, a reader and a writer come and go until it returns:
    // that releases an open waiting for the other end (a reader then reads
    // the end of the file), so that a test fails instead of hanging.
    template <class Call>
    bool ReturnsPromptly(Call&& call,
                         std::chrono::milliseconds limit = std::chrono::milliseconds(1000)) const {
        auto done = std::async(std::launch::async, std::forward<Call>(call));
        if (done.wait_for(limit) == std::future_status::ready)
            return true;
        while (done.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
            for (const int end : {O_RDONLY, O_WRONLY}) {
                const int fd = open(path_.c_str(), end | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0)
                    close(fd);
            }
        }
        return false;
    }

private:
    std::string path_;
    bool made_;
};

} // namespace kxrtest

#endif

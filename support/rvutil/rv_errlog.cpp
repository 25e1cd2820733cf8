// The host's error log: standard error unless the host installs a sink.
#include "kxr/rvutil.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

namespace {

std::atomic<RVErrSink> sink{nullptr};
std::mutex streamLock;

std::string Format(const char* format, va_list args) {
    if (format == nullptr)
        return std::string();
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0)
        return std::string();
    std::string text(static_cast<size_t>(length), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, args);
    return text;
}

void Emit(uint32_t level, std::string line) {
    if (line.empty() || line.back() != '\n')
        line.push_back('\n');
    // Read once: a sink swapped meanwhile gets the next line.
    if (RVErrSink target = sink.load()) {
        target(level, line.c_str());
        return;
    }
    std::lock_guard<std::mutex> lock(streamLock);
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

} // namespace

extern "C" {

void ErrOut(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string line = Format(format, args);
    va_end(args);
    Emit(0, std::move(line));
}

void ErrFmtOut(uint32_t level, uint32_t /*reserved1*/, uint32_t /*reserved2*/, const char* format,
               ...) {
    va_list args;
    va_start(args, format);
    std::string line = Format(format, args);
    va_end(args);
    Emit(level, std::move(line));
}

void rvSetErrSink(RVErrSink newSink) {
    sink.store(newSink);
}

} // extern "C"

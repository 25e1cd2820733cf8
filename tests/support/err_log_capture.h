// Collects the error log's lines (rvSetErrSink) while it lives.
#ifndef KXR_TESTS_ERR_LOG_CAPTURE_H
#define KXR_TESTS_ERR_LOG_CAPTURE_H

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "kxr/rvutil.h"

namespace kxrtest {

class ErrorLogCapture {
public:
    ErrorLogCapture() {
        std::lock_guard<std::mutex> hold(Lock());
        Captured().clear();
        rvSetErrSink(&Collect);
    }
    ~ErrorLogCapture() { rvSetErrSink(nullptr); }
    std::vector<std::string> Lines() const {
        std::lock_guard<std::mutex> hold(Lock());
        return Captured();
    }
    size_t Count(const std::string& line) const {
        const std::vector<std::string> lines = Lines();
        return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
    }

private:
    static std::mutex& Lock() {
        static std::mutex lock;
        return lock;
    }
    static std::vector<std::string>& Captured() {
        static std::vector<std::string> lines;
        return lines;
    }
    static void Collect(uint32_t, const char* line) {
        std::lock_guard<std::mutex> hold(Lock());
        Captured().emplace_back(line);
    }
};

} // namespace kxrtest

#endif

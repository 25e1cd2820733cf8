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
        std::lock_guard<std::mutex> hold(lock_);
        lines_.clear();
        rvSetErrSink(&Collect);
    }
    ~ErrorLogCapture() { rvSetErrSink(nullptr); }
    std::vector<std::string> Lines() const {
        std::lock_guard<std::mutex> hold(lock_);
        return lines_;
    }
    size_t Count(const std::string& line) const {
        const std::vector<std::string> lines = Lines();
        return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
    }

private:
    static void Collect(uint32_t, const char* line) {
        std::lock_guard<std::mutex> hold(lock_);
        lines_.emplace_back(line);
    }
    static inline std::mutex lock_;
    static inline std::vector<std::string> lines_;
};

} // namespace kxrtest

#endif

#include "access/access_log.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>

#include "kxr/rvutil.h"
#include "platform/kxr_socket.h"
#include "platform/kxr_time.h"

namespace kxr::access {

namespace {

// Enough for bursts of several seconds at full speed.
constexpr size_t kQueueLimit = 65536;

void AppendQuoted(std::string& out, const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    out += '"';
    if (text.empty())
        out += '-';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    out += '"';
}

struct LogState {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::string> queue;
    std::FILE* file = nullptr;
    std::thread writer;
    bool stopping = false;
    uint64_t dropped = 0;
    // Read by every request without the lock.
    std::atomic<bool> open{false};
};

LogState& State() {
    static LogState state;
    return state;
}

void WriterMain(LogState* state, std::FILE* file) {
    std::deque<std::string> batch;
    for (;;) {
        uint64_t dropped = 0;
        bool stop = false;
        {
            std::unique_lock<std::mutex> lock(state->mutex);
            state->wake.wait(lock, [state] { return state->stopping || !state->queue.empty(); });
            batch.swap(state->queue);
            dropped = state->dropped;
            state->dropped = 0;
            stop = state->stopping;
        }
        for (const std::string& line : batch) {
            std::fputs(line.c_str(), file);
            std::fputc('\n', file);
        }
        batch.clear();
        if (dropped != 0)
            std::fprintf(file, "# %llu lines dropped: the log could not keep up\n",
                         static_cast<unsigned long long>(dropped));
        std::fflush(file);
        if (stop)
            return;
    }
}

} // namespace

std::string FormatAccessLine(const AccessEntry& entry) {
    std::string line = platform::Ipv4Format(entry.clientAddr);
    line += " - ";
    if (entry.user.empty()) {
        line += '-';
    } else {
        // A user name never holds a blank: it would split the field.
        for (const char c : entry.user)
            line += (static_cast<unsigned char>(c) <= 0x20 || c == '"') ? '_' : c;
    }
    platform::CalendarTime t;
    char when[40] = "[01/Jan/1970:00:00:00 +0000]";
    if (platform::UtcCalendar(entry.unixTime, &t))
        std::snprintf(when, sizeof when, "[%02d/%s/%04d:%02d:%02d:%02d +0000]", t.day,
                      platform::kMonthAbbrev[(t.month + 11) % 12], t.year, t.hour, t.minute,
                      t.second);
    line += ' ';
    line += when;
    line += ' ';
    AppendQuoted(line, entry.requestLine);
    line += ' ';
    line += entry.status > 0 ? std::to_string(entry.status) : "-";
    line += ' ';
    line += entry.bytes > 0 ? std::to_string(entry.bytes) : "-";
    line += ' ';
    AppendQuoted(line, entry.referer);
    line += ' ';
    AppendQuoted(line, entry.userAgent);
    return line;
}

bool OpenAccessLog(const char* path) {
    CloseAccessLog();
    std::FILE* file = path != nullptr ? std::fopen(path, "ab") : nullptr;
    if (file == nullptr) {
        ErrFmtOut(
            RV_ERR_WARNING, 0, 0, "WARNING(kHTTPD2): %s\n",
            ("cannot open the access log " + std::string(path != nullptr ? path : "")).c_str());
        return false;
    }
    LogState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.file = file;
    state.stopping = false;
    state.dropped = 0;
    state.writer = std::thread(WriterMain, &state, file);
    state.open.store(true);
    return true;
}

void CloseAccessLog() {
    LogState& state = State();
    std::thread writer;
    std::FILE* file = nullptr;
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        if (state.file == nullptr)
            return;
        state.stopping = true;
        state.open.store(false);
        writer.swap(state.writer);
        file = state.file;
        state.file = nullptr;
    }
    state.wake.notify_one();
    writer.join();
    std::fclose(file);
}

bool AccessLogIsOpen() {
    return State().open.load(std::memory_order_relaxed);
}

void SubmitAccessEntry(const AccessEntry& entry) {
    std::string line = FormatAccessLine(entry);
    LogState& state = State();
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        if (state.file == nullptr || state.stopping)
            return;
        if (state.queue.size() >= kQueueLimit) {
            ++state.dropped;
            return;
        }
        state.queue.push_back(std::move(line));
    }
    state.wake.notify_one();
}

} // namespace kxr::access

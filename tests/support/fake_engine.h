// An engine table whose entries record every call, in order, with their
// arguments, and answer with values a test sets per ordinal.
#ifndef KXR_TESTS_FAKE_ENGINE_H
#define KXR_TESTS_FAKE_ENGINE_H

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "kxr/engine.h"

namespace kxrtest {

struct EngineCall {
    unsigned ordinal;
    std::vector<int64_t> args; // integer arguments and text pointers' presence
    std::string text;          // a text argument (a clip name, for example)
};

class FakeEngine {
public:
    // Installs the fake as the module's engine; the destructor puts the
    // bound engine back.
    FakeEngine();
    ~FakeEngine();
    FakeEngine(const FakeEngine&) = delete;
    FakeEngine& operator=(const FakeEngine&) = delete;

    const EngineTable& Table() const { return table_; }
    std::vector<EngineCall> Calls() const {
        Hold hold(lock_);
        return calls_;
    }
    std::vector<unsigned> Ordinals() const;
    // Whether a recorded call changed the engine's state: the transport, a
    // mode, the error log, or a media command other than a query.
    bool ChangedState() const;
    void Clear() {
        Hold hold(lock_);
        calls_.clear();
    }

    // What an ordinal returns (0 unless set) and writes into its text output.
    void SetResult(unsigned ordinal, int64_t value) {
        Hold hold(lock_);
        results_[ordinal] = value;
    }
    void SetText(unsigned ordinal, const std::string& text) {
        Hold hold(lock_);
        texts_[ordinal] = text;
    }

    // Used by the recording entries.
    static FakeEngine* Current() { return current_; }
    void Record(unsigned ordinal, std::vector<int64_t> args, std::string text = std::string()) {
        Hold hold(lock_);
        calls_.push_back(EngineCall{ordinal, std::move(args), std::move(text)});
    }
    int64_t Result(unsigned ordinal) const;
    void WriteText(unsigned ordinal, char* out, size_t capacity) const;

private:
    using Hold = std::lock_guard<std::mutex>;
    static inline FakeEngine* current_ = nullptr;
    EngineTable table_{};
    mutable std::mutex lock_;
    std::vector<EngineCall> calls_;
    std::map<unsigned, int64_t> results_;
    std::map<unsigned, std::string> texts_;
};

} // namespace kxrtest

#endif

// A media-command slot that keeps a copy of every record sent through it and
// answers the timecode-type query per channel.
#ifndef KXR_TESTS_UNIT_MEDIA_CAPTURING_ENGINE_H
#define KXR_TESTS_UNIT_MEDIA_CAPTURING_ENGINE_H

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <vector>

#include "kxr/mediacmd.h"
#include "module/module_state.h"

namespace kxrtest {

struct SentRecord {
    int32_t channelArgument;
    MediaCmd record; // the first 4188 bytes as they were sent
};

class CapturingEngine {
public:
    CapturingEngine() {
        current_ = this;
        kxr::SetMediaCmdHandler(&Handle);
    }
    ~CapturingEngine() {
        kxr::SetMediaCmdHandler(nullptr);
        current_ = nullptr;
    }
    CapturingEngine(const CapturingEngine&) = delete;
    CapturingEngine& operator=(const CapturingEngine&) = delete;

    std::vector<SentRecord> sent;
    std::map<int32_t, uint32_t> tcTypes; // by channel argument; 2 otherwise
    // Runs after the timecode answer, on every record (the engine's part).
    std::function<void(int32_t, MediaCmd*)> reply;

private:
    static int32_t Handle(int32_t channel, MediaCmd* record) {
        CapturingEngine* self = current_;
        SentRecord copy{channel, {}};
        std::memcpy(&copy.record, record, sizeof(MediaCmd));
        self->sent.push_back(copy);
        if (record->cmd == kCmdGetValue && record->cmdAlt == kValueTcType) {
            auto found = self->tcTypes.find(channel);
            record->position =
                static_cast<int32_t>(found != self->tcTypes.end() ? found->second : 2);
        }
        if (self->reply) {
            self->reply(channel, record);
        }
        return 0;
    }
    static inline CapturingEngine* current_ = nullptr;
};

} // namespace kxrtest

#endif

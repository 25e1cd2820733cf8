// A media-command slot that keeps a copy of every record sent through it and
// answers the timecode-type query per channel; and a runner for the answers.
#ifndef KXR_TESTS_UNIT_MEDIA_CAPTURING_ENGINE_H
#define KXR_TESTS_UNIT_MEDIA_CAPTURING_ENGINE_H

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "answer/http_request.h"
#include "answer/my_http_client.h"
#include "answer/xml_answer.h"
#include "binding/callback_slots.h"
#include "kxr/kxrutil.h"
#include "kxr/mediacmd.h"
#include "kxr/rvutil.h"
#include "tests/support/fake_engine.h"

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

    std::vector<SentRecord> sent;
    std::map<int32_t, uint32_t> tcTypes; // by channel argument; 2 otherwise
    // Runs after the timecode answer, on every record (the engine's part).
    std::function<void(int32_t, MediaCmd*)> reply;

private:
    static int32_t Handle(int32_t channel, MediaCmd* record) {
        CapturingEngine* self = current_;
        self->sent.push_back({channel, *record});
        if (record->cmd == kCmdGetValue && record->cmdAlt == kValueTcType) {
            auto found = self->tcTypes.find(channel);
            record->position =
                static_cast<int32_t>(found != self->tcTypes.end() ? found->second : 2);
        }
        if (self->reply)
            self->reply(channel, record);
        return 0;
    }
    static inline CapturingEngine* current_ = nullptr;
};

// The capturing slot, the fake engine table and a client, and a runner for
// the answer builders.
class MediaTest : public ::testing::Test {
protected:
    // Runs a handler on a request whose path and queries are all text and
    // returns the body; the handler's result goes to *result, else must be 1.
    std::string Run(kxr::AnswerBuilder handler, const std::string& text,
                    int32_t* result = nullptr) {
        kxr::CHttpRequest request;
        request.path = request.query = request.clipQuery = request.fileQuery = text;
        char* body = nullptr;
        int32_t length = 0;
        const int32_t rc = handler(&client_, &body, &length, &request);
        if (result != nullptr)
            *result = rc;
        else
            EXPECT_EQ(rc, 1) << text;
        if (body == nullptr)
            return "";
        const std::string out(body, static_cast<size_t>(length));
        EXPECT_TRUE(body[0] != '<' || body[length] == '\0') << text; // XML ends in a zero
        RVFree(body);
        return out;
    }
    // Every record sent as "channel argument:cmd/cmdAlt", in order.
    std::string Sent() const {
        std::string out;
        for (const auto& s : engine_.sent)
            out += (out.empty() ? "" : " ") + std::to_string(s.channelArgument) + ":" +
                   std::to_string(s.record.cmd) + "/" + std::to_string(s.record.cmdAlt);
        return out;
    }

    FakeEngine fake_;
    CapturingEngine engine_;
    kxr::CMyHttpClient client_;
};

// The record as the answers print it.
inline std::string Render(const MediaCmd& record, uint32_t tcType) {
    TiXmlDocument document;
    MediaCmdToXML(&document, &record, tcType);
    return kxr::PrintCompact(document);
}

} // namespace kxrtest

#endif

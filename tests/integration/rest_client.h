// A client of the JSON face for the integration tests: one request per
// connection over a raw loopback socket, answers split into status, head
// and body, JSON parsed with nlohmann/json; and an event-stream reader.
#ifndef KXR_TESTS_INTEGRATION_REST_CLIENT_H
#define KXR_TESTS_INTEGRATION_REST_CLIENT_H

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/kxr_socket.h"

namespace kxrit {

using Json = nlohmann::json;

struct HttpAnswer {
    int status = 0;
    std::string head; // status line and header lines
    std::string body;

    // A header's value, the name matched without regard to case; empty when
    // there is none.
    std::string Header(const std::string& name) const;
    // The body as JSON; a body that is not JSON fails the test.
    Json JsonBody() const;
};

// Sends method target with the header lines (each ending in CR LF) and the
// body (with its Content-Length when there is one) and reads the whole answer.
HttpAnswer Call(uint16_t port, const std::string& method, const std::string& target,
                const std::string& body = "", const std::string& headers = "");
// The same for a request given whole.
HttpAnswer CallRaw(uint16_t port, const std::string& request);
struct ServerEvent {
    uint64_t id = 0;
    std::string name;
    Json data;
};

// GET /api/v1/events on a connection of its own, read as it arrives.
class EventReader {
public:
    EventReader(uint16_t port, std::optional<uint64_t> lastEventId = std::nullopt);
    ~EventReader();
    EventReader(const EventReader&) = delete;
    EventReader& operator=(const EventReader&) = delete;

    // The answer's status line and header lines; empty when none came
    // within timeoutMs.
    std::string Head(uint32_t timeoutMs = 5000);
    // The next event; nothing when none came within timeoutMs. Comment and
    // retry lines are skipped.
    std::optional<ServerEvent> Next(uint32_t timeoutMs);
    // True when the server closed the stream within timeoutMs.
    bool Ends(uint32_t timeoutMs);
    // Everything after the head that was not taken as an event yet.
    const std::string& Pending() const { return buffer_; }

private:
    bool Receive(uint32_t timeoutMs);

    kxr::platform::SocketHandle socket_ = kxr::platform::kInvalidSocket;
    std::string buffer_;
    std::string head_;
    bool closed_ = false;
};

} // namespace kxrit

#endif

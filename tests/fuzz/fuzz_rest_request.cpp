// Requests of the JSON face as they sit in the receive buffer: read, routed
// and answered against the recording fake engine (no roots, no stream
// running). Whatever the bytes, the answer has a known status, and every
// JSON answer and problem document parses.
#include "fuzz_check.h"
#include "rest/rest_router.h"
#include "tests/support/fake_engine.h"

void Fuzz(const uint8_t* data, size_t size) {
    static kxrtest::FakeEngine engine;
    constexpr size_t kLimit = 4095;
    if (size > kLimit)
        return;
    engine.Clear();
    engine.SetResult(kOrdGetChannelCount, 2);
    const std::string bytes = Text(data, size);
    kxr::rest::ReadFailure failure;
    const auto request = kxr::rest::ParseRequest(bytes, kLimit, &failure);
    if (!request) {
        Require(failure.status == 400 || failure.status == 411 || failure.status == 413);
        return;
    }
    Require(!request->method.empty() && request->body.size() <= kLimit);
    Require(request->target.compare(0, kxr::rest::kApiPrefix.size(), kxr::rest::kApiPrefix) == 0);
    const kxr::rest::Response response = kxr::rest::Answer(*request);
    Require(response.status >= 200 && response.status <= 599);
    Require(std::string(kxr::rest::StatusReason(response.status)) != "Unknown");
    if (response.contentType.find("json") != std::string::npos)
        Require(!kxr::rest::Json::parse(response.body, nullptr, false).is_discarded());
    Require(kxr::rest::FormatHead(response).find("\r\n\r\n") != std::string::npos);
}

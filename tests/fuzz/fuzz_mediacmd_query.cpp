// Media commands arrive as query strings from any client. The first byte
// picks the timecode type the engine reports, the second the client's
// channel; the rest is the query. The record sits between guard bytes: the
// parser must never touch them nor change the record's identity.
#include "answer/http_request.h"
#include "answer/my_http_client.h"
#include "binding/callback_slots.h"
#include "fuzz_check.h"
#include "kxr/mediacmd.h"
#include "media/media_cmd.h"

constexpr uint8_t kGuard = 0xC3;
constexpr uint32_t kTcTypes[] = {0, 1, 2, 4, 8, 16, 32, 64, 128, 132, 255, 3};

static uint32_t reportedTcType = 2;

// Stands in for the engine: answers the timecode-type query only.
static int32_t FakeMediaCmd(int32_t /*channel*/, MediaCmd* record) {
    if (record->cmd == kCmdGetValue && record->cmdAlt == kValueTcType)
        record->position = static_cast<int32_t>(reportedTcType);
    return 0;
}

struct Guarded {
    uint8_t before[128];
    MediaCmd record;
    uint8_t after[128];
};

void Fuzz(const uint8_t* data, size_t size) {
    if (size < 2)
        return;
    static kxr::CMyHttpClient* client = [] {
        kxr::SetMediaCmdHandler(&FakeMediaCmd);
        return new kxr::CMyHttpClient();
    }();
    reportedTcType = kTcTypes[data[0] % (sizeof kTcTypes / sizeof kTcTypes[0])];
    client->channel = data[1] % 8;

    kxr::CHttpRequest request;
    request.query.assign(reinterpret_cast<const char*>(data + 2), size - 2);

    static Guarded g;
    std::memset(&g, kGuard, sizeof g);
    kxr::InitMediaCmd(&g.record);
    const int32_t result = kxr::MediaCmdFromQuery(client, &g.record, &request);

    RequireGuard(g.before, sizeof g.before, kGuard);
    RequireGuard(g.after, sizeof g.after, kGuard);
    Require(g.record.size == kMediaCmdStandardSize &&
            g.record.structId == static_cast<uint32_t>(kMediaCmdStructId) &&
            (result == 0 || result == 1));
    RequireGuard(g.record.header, sizeof g.record.header, 0);
    // Every text the parser places ends inside the text area.
    RequireTerminated(g.record.text, kMediaCmdTextSize);
}

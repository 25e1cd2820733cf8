// Channels of the JSON face: a channel's state as JSON, and the transport
// command, read from its JSON body and carried out as a MediaCmd record
// through the same media-command slot as the XML interface's MediaCmd.
#ifndef KXR_REST_REST_CHANNELS_H
#define KXR_REST_REST_CHANNELS_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "kxr/mediacmd.h"
#include "rest/rest_response.h"

namespace kxr::rest {

// {"index","name","mode","state","speed","position":{"timecode","frames",
// "tcType"},"clip","lastChange"} of a channel, from the engine. Called under
// the module-wide critical section.
Json ChannelJson(int32_t channel);

// A channel named by a path segment or a query value: decimal digits naming
// one of the engine's channels. Called under the module-wide critical section.
std::optional<int32_t> ReadChannelIndex(std::string_view text);

// A transport body, read and checked: what goes into the record.
struct TransportCommand {
    uint32_t cmd = kCmdPlay;
    uint32_t flags = 0; // the MCF_ bits of what was given
    int32_t position = -1;
    int32_t speed = 0; // engine units: 65520 is normal forward play
    std::string clip;  // 1 to 8 characters when MCF_TEXT is set
};

// Reads {"action": ..., "position", "speed", "clip", "loop"}; a timecode
// position is read for the timecode type tcType. False with the reason when
// the body is not such an object, names an unknown action or member, or a
// member that the action does not take, or a value out of range.
bool ParseTransport(std::string_view body, uint32_t tcType, TransportCommand* out,
                    std::string* reason);

// The MediaCmd record of a command for a channel.
void FillTransportRecord(const TransportCommand& command, int32_t channel, MediaCmd* record);

} // namespace kxr::rest

#endif

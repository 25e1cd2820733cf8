// Transport bodies of the JSON face: whatever the bytes, reading them never
// fails badly, and a body that is taken yields a record the engine can take:
// a known command, only the flags of what was given, values in range.
#include <cstring>

#include "fuzz_check.h"
#include "kxr/tempex.h"
#include "rest/rest_channels.h"

constexpr uint32_t kTcTypes[] = {kTcFilm, kTcNonDrop, kTcDropFrame, kTcPal,  kTc50,
                                 kTc5994, kTc60,      kTcFilmDrop,  kTc2398, kTcFrames};
constexpr uint32_t kGivenFlags = MCF_POSITION_ABS | MCF_SPEED | MCF_TEXT | MCF_LOOP | MCF_ISSHUTTLE;

void Fuzz(const uint8_t* data, size_t size) {
    // The first byte picks the channel's timecode type; the rest is the body.
    if (size == 0 || size > 4096)
        return;
    const uint32_t tcType = kTcTypes[data[0] % std::size(kTcTypes)];
    const std::string body = Text(data + 1, size - 1);
    kxr::rest::TransportCommand command;
    std::string reason;
    if (!kxr::rest::ParseTransport(body, tcType, &command, &reason)) {
        Require(!reason.empty());
        return;
    }
    Require(command.cmd == kCmdPlay || command.cmd == kCmdStop || command.cmd == kCmdPause ||
            command.cmd == kCmdRecord || command.cmd == kCmdEject);
    Require((command.flags & ~kGivenFlags) == 0);
    if ((command.flags & MCF_POSITION_ABS) != 0)
        Require(command.position >= 0);
    if ((command.flags & MCF_SPEED) != 0)
        Require(command.speed >= -6552000 && command.speed <= 6552000);
    if ((command.flags & MCF_TEXT) != 0) {
        Require(!command.clip.empty() && command.clip.size() <= 8);
        for (const char c : command.clip)
            Require(static_cast<unsigned char>(c) >= 0x20);
    } else {
        Require(command.clip.empty());
    }
    MediaCmd record;
    kxr::rest::FillTransportRecord(command, 3, &record);
    Require(record.channel == 3 && record.cmd == command.cmd && record.flags == command.flags);
    Require(std::memchr(record.text, '\0', 9) != nullptr);
}

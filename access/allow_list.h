// The client allow-list of [KXR.NetServer] AllowFrom: IPv4 addresses and
// CIDR blocks such as "127.0.0.1, 10.20.0.0/16". Without one, everyone may
// connect.
#ifndef KXR_ACCESS_ALLOW_LIST_H
#define KXR_ACCESS_ALLOW_LIST_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kxr::access {

// Host byte order; network has no bits outside mask.
struct Ipv4Block {
    uint32_t network = 0;
    uint32_t mask = 0;
};

class AllowList {
public:
    // Everyone may connect.
    AllowList() = default;

    // Reads entries separated by commas or blanks. Each problem adds one
    // message: an entry that is not an IPv4 address or block is ignored, and
    // so is an IPv6 one (the server listens on IPv4 only); a block with host
    // bits set is taken without them. A text with entries none of which can
    // be used fails closed: only this machine (127.0.0.0/8) may connect. An
    // empty text lets everyone in.
    static AllowList Parse(std::string_view text, std::vector<std::string>* messages);
    // Only this machine, for a setting that cannot be read at all.
    static AllowList LoopbackOnly();

    // address in network byte order, as a connection's record holds it.
    bool Allows(uint32_t address) const;
    bool AllowsEveryone() const { return everyone_; }

private:
    bool everyone_ = true;
    std::vector<Ipv4Block> blocks_;
};

} // namespace kxr::access

#endif

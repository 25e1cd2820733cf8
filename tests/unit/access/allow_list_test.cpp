// AllowFrom: CIDR blocks, what each lets in, and the entries that cannot be
// used. A plain address list (an IPv6 entry beside it) is asked over HTTP
// from 127.0.0.2 (tests/integration/access_test.cpp); every other host there
// has no AllowFrom, which lets everyone in.
#include "access/allow_list.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "platform/kxr_socket.h"

namespace {

namespace ka = kxr::access;

uint32_t Address(const char* dotted) {
    return kxr::platform::Ipv4Parse(dotted);
}

TEST(AllowList, AddressesAndBlocksLetInExactlyTheirClients) {
    // The list, addresses it allows, addresses it refuses.
    using Addresses = std::vector<const char*>;
    const std::tuple<const char*, Addresses, Addresses> rows[] = {
        {"127.0.0.1, 10.20.0.0/16",
         {"127.0.0.1", "10.20.0.0", "10.20.255.255", "10.20.7.9"},
         {"10.21.0.0", "10.19.255.255", "11.20.0.1", "127.0.0.2"}},
        {"10.0.0.0/8,172.16.0.0/12 192.168.0.0/16\t1.2.3.4",
         {"10.255.1.1", "172.31.255.255", "192.168.77.1", "1.2.3.4"},
         {"172.32.0.0", "172.15.255.255", "1.2.3.5", "11.0.0.0"}},
        {"0.0.0.0/0", {"0.0.0.0", "255.255.255.255", "8.8.8.8"}, {}},
        {"255.255.255.255/32", {"255.255.255.255"}, {"255.255.255.254"}},
        {"1.2.3.4/31", {"1.2.3.4", "1.2.3.5"}, {"1.2.3.3", "1.2.3.6"}},
    };
    for (const auto& [text, allowed, refused] : rows) {
        std::vector<std::string> messages;
        const ka::AllowList list = ka::AllowList::Parse(text, &messages);
        EXPECT_FALSE(list.AllowsEveryone()) << text;
        for (const char* a : allowed)
            EXPECT_TRUE(list.Allows(Address(a))) << text << " should allow " << a;
        for (const char* a : refused)
            EXPECT_FALSE(list.Allows(Address(a))) << text << " should refuse " << a;
        EXPECT_TRUE(messages.empty()) << testing::PrintToString(messages);
    }
}

// A lenient reading would widen the list: none of these may let 10.0.0.1 in.
TEST(AllowList, MalformedEntriesAreIgnoredWithAMessage) {
    for (const char* entry :
         {"10.0.0.300", "10.0.0", "10.0.0.1.2", "10.0.0.1/33", "10.0.0.1/", "10.0.0.1/-1",
          "010.0.0.1", "10.0.0.01", "10.0.0.1/08", "+10.0.0.1", "10.0.0.x", "localhost", "10..0.1",
          "10.0.0.1:8080", "10.0.0.1/24/8", "1::2::3"}) {
        std::vector<std::string> messages;
        const ka::AllowList list =
            ka::AllowList::Parse(std::string("127.0.0.1, ") + entry, &messages);
        ASSERT_EQ(messages.size(), 1u) << entry << "\n" << testing::PrintToString(messages);
        EXPECT_NE(messages[0].find("is not an IPv4 address or block"), std::string::npos)
            << messages[0];
        EXPECT_TRUE(list.Allows(Address("127.0.0.1"))) << entry;
        EXPECT_FALSE(list.Allows(Address("10.0.0.1"))) << entry;
    }
    // An IPv4-mapped IPv6 address is still an IPv6 entry.
    std::vector<std::string> messages;
    const ka::AllowList list = ka::AllowList::Parse("127.0.0.1, ::ffff:10.0.0.1", &messages);
    ASSERT_EQ(messages.size(), 1u) << testing::PrintToString(messages);
    EXPECT_EQ(messages[0], "AllowFrom: \"::ffff:10.0.0.1\" is an IPv6 address, but the server "
                           "listens on IPv4 only; the entry is ignored");
    EXPECT_FALSE(list.Allows(Address("10.0.0.1")));
}

TEST(AllowList, NothingUsableFailsClosedToThisMachine) {
    std::vector<std::string> messages;
    const ka::AllowList list = ka::AllowList::Parse("10.0.0.300, ::1", &messages);
    ASSERT_EQ(messages.size(), 3u) << testing::PrintToString(messages);
    EXPECT_EQ(messages[2],
              "AllowFrom has no usable entry: only this machine (127.0.0.0/8) may connect");
    EXPECT_FALSE(list.AllowsEveryone());
    EXPECT_TRUE(list.Allows(Address("127.200.0.2")));
    EXPECT_FALSE(list.Allows(Address("10.0.0.1")));
    EXPECT_FALSE(list.Allows(Address("128.0.0.1")));
}

} // namespace

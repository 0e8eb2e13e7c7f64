#include "readers/NetlinkAttributes.h"
#include "readers/RouteQuery.h"
#include "readers/WifiLink.h"

#include <gtest/gtest.h>

#include <linux/netlink.h>
#include <linux/nl80211.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstring>
#include <vector>

namespace trovimo {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Netlink attributes built the way the kernel lays them out: header, payload, padding to 4.
Bytes attribute(std::uint16_t type, const Bytes& payload) {
    Bytes bytes(4);
    const auto length = static_cast<std::uint16_t>(4 + payload.size());
    std::memcpy(bytes.data(), &length, 2);
    std::memcpy(bytes.data() + 2, &type, 2);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    bytes.resize((bytes.size() + 3) & ~std::size_t{3});
    return bytes;
}
Bytes u32(std::uint32_t value) {
    Bytes bytes(4);
    std::memcpy(bytes.data(), &value, 4);
    return bytes;
}
Bytes text(std::string_view value) {
    return Bytes(value.begin(), value.end());
}
Bytes join(std::initializer_list<Bytes> parts) {
    Bytes joined;
    for (const auto& part : parts) {
        joined.insert(joined.end(), part.begin(), part.end());
    }
    return joined;
}
Bytes nested(std::uint16_t type, std::initializer_list<Bytes> parts) {
    return attribute(type | NLA_F_NESTED, join(parts));
}

Bytes netlinkMessage(std::uint16_t type, std::uint32_t sequence, const Bytes& body) {
    nlmsghdr header{};
    header.nlmsg_len = static_cast<std::uint32_t>(sizeof header + body.size());
    header.nlmsg_type = type;
    header.nlmsg_seq = sequence;
    Bytes bytes(sizeof header);
    std::memcpy(bytes.data(), &header, sizeof header);
    bytes.insert(bytes.end(), body.begin(), body.end());
    bytes.resize(NLMSG_ALIGN(bytes.size()));
    return bytes;
}

Bytes routeReply(std::uint32_t sequence, const Bytes& attributes) {
    rtmsg route{};
    route.rtm_family = AF_INET;
    route.rtm_dst_len = 32;
    Bytes body(sizeof route);
    std::memcpy(body.data(), &route, sizeof route);
    body.insert(body.end(), attributes.begin(), attributes.end());
    return netlinkMessage(RTM_NEWROUTE, sequence, body);
}

TEST(NetlinkAttributes, StopsAtLengthsThatDoNotFit) {
    const Bytes good = join({attribute(1, u32(7)), attribute(2, Bytes{9})});
    std::vector<std::uint16_t> types;
    NetlinkAttributes(good).forEach([&](const auto& a) { types.push_back(a.type); });
    EXPECT_EQ(types, (std::vector<std::uint16_t>{1, 2}));

    // A length below the header (which would loop forever) or past the end ends the walk.
    for (const Bytes& bad : {Bytes{0, 0, 1, 0, 1, 2, 3, 4}, Bytes{2, 0, 1, 0},
                             Bytes{200, 0, 1, 0, 1, 2, 3, 4}, Bytes{8, 0, 1}}) {
        int visited = 0;
        NetlinkAttributes(bad).forEach([&](const auto&) { ++visited; });
        EXPECT_EQ(visited, 0);
    }
    // The last attribute may leave out its padding.
    const Bytes unpadded{5, 0, 3, 0, 42};
    EXPECT_EQ(NetlinkAttributes::u8(*NetlinkAttributes(unpadded).find(3)), 42);
    EXPECT_FALSE(NetlinkAttributes::u32(Bytes{1}));
}

TEST(ParseRouteReply, FindsTheOutputInterfaceOfOurAnswer) {
    const Bytes answer = routeReply(
        7, join({attribute(RTA_TABLE, u32(254)), attribute(RTA_DST, Bytes{1, 1, 1, 1}),
                 attribute(RTA_OIF, u32(4)), attribute(RTA_PREFSRC, Bytes{192, 0, 2, 10})}));
    EXPECT_EQ(parseRouteReply(answer, 7), 4U);
    EXPECT_FALSE(parseRouteReply(answer, 8)) << "an answer to another request";

    const Bytes staleThenOurs = join({routeReply(6, attribute(RTA_OIF, u32(2))), answer});
    EXPECT_EQ(parseRouteReply(staleThenOurs, 7), 4U);

    // The kernel's "no route" (ENETUNREACH) is an error message: an answer without interface.
    EXPECT_EQ(parseRouteReply(netlinkMessage(NLMSG_ERROR, 7, Bytes(20)), 7), 0U);
    EXPECT_EQ(parseRouteReply(routeReply(7, attribute(RTA_TABLE, u32(254))), 7), 0U);
}

TEST(ParseRouteReply, MalformedDatagramsGiveNothing) {
    Bytes overlong = routeReply(7, attribute(RTA_OIF, u32(4)));
    overlong[0] = 200; // nlmsg_len beyond the datagram
    EXPECT_FALSE(parseRouteReply(overlong, 7));
    EXPECT_FALSE(parseRouteReply(routeReply(7, attribute(RTA_OIF, Bytes{4})), 7))
        << "RTA_OIF of the wrong size";
    EXPECT_FALSE(parseRouteReply(netlinkMessage(RTM_NEWROUTE, 7, Bytes(4)), 7))
        << "shorter than struct rtmsg";
    EXPECT_FALSE(parseRouteReply(Bytes(8), 7));
    EXPECT_FALSE(parseRouteReply(Bytes(), 7));
}

TEST(ParseStationGeneration, TakesTheHigherOfTransmitAndReceiveRates) {
    const auto station = [](std::initializer_list<Bytes> info) {
        return join({attribute(NL80211_ATTR_IFINDEX, u32(3)),
                     attribute(NL80211_ATTR_MAC, Bytes{2, 0, 0, 0, 0, 1}),
                     nested(NL80211_ATTR_STA_INFO, info)});
    };
    const Bytes legacy = attribute(NL80211_RATE_INFO_BITRATE32, u32(540));
    const Bytes width = attribute(NL80211_RATE_INFO_80_MHZ_WIDTH, Bytes{});
    const std::pair<Bytes, std::optional<int>> cases[] = {
        {station({nested(NL80211_STA_INFO_TX_BITRATE,
                         {legacy, attribute(NL80211_RATE_INFO_HE_MCS, Bytes{11})}),
                  nested(NL80211_STA_INFO_RX_BITRATE, {legacy})}),
         6},
        {station({nested(NL80211_STA_INFO_TX_BITRATE,
                         {legacy, attribute(NL80211_RATE_INFO_VHT_MCS, Bytes{9}), width}),
                  nested(NL80211_STA_INFO_RX_BITRATE,
                         {legacy, attribute(NL80211_RATE_INFO_MCS, Bytes{7})})}),
         5},
        {station({nested(NL80211_STA_INFO_TX_BITRATE,
                         {legacy, attribute(NL80211_RATE_INFO_EHT_MCS, Bytes{13})})}),
         7},
        {station({nested(NL80211_STA_INFO_TX_BITRATE, {legacy}),
                  nested(NL80211_STA_INFO_RX_BITRATE, {legacy})}),
         std::nullopt}, // 802.11a/b/g
        {attribute(NL80211_ATTR_IFINDEX, u32(3)), std::nullopt},
        // An MCS attribute outside the bitrate nests (here: directly in STA_INFO) is no rate.
        {station({attribute(NL80211_RATE_INFO_HE_MCS, Bytes{3})}), std::nullopt},
    };
    int index = 0;
    for (const auto& [bytes, expected] : cases) {
        EXPECT_EQ(parseStationGeneration(bytes), expected) << "case " << index++;
    }
}

TEST(ParseInterfaceSsid, TakesTheSsidAttribute) {
    const Bytes reply = join({attribute(NL80211_ATTR_IFINDEX, u32(3)),
                              attribute(NL80211_ATTR_IFNAME, text("wlp2s0")),
                              attribute(NL80211_ATTR_IFTYPE, u32(NL80211_IFTYPE_STATION)),
                              attribute(NL80211_ATTR_SSID, text("Home"))});
    EXPECT_EQ(parseInterfaceSsid(reply), "Home");
    EXPECT_FALSE(parseInterfaceSsid(attribute(NL80211_ATTR_IFINDEX, u32(3)))) << "not associated";
}

TEST(ParseScanSsid, TakesTheSsidElementOfTheAssociatedBss) {
    const auto bss = [](std::optional<std::uint32_t> status, const Bytes& elements) {
        Bytes fields = join({attribute(NL80211_BSS_BSSID, Bytes{2, 0, 0, 0, 0, 1}),
                             attribute(NL80211_BSS_FREQUENCY, u32(5180)),
                             attribute(NL80211_BSS_INFORMATION_ELEMENTS, elements)});
        if (status) {
            fields = join({fields, attribute(NL80211_BSS_STATUS, u32(*status))});
        }
        return join({attribute(NL80211_ATTR_IFINDEX, u32(3)),
                     attribute(NL80211_ATTR_BSS | NLA_F_NESTED, fields)});
    };
    // Supported rates (id 1) before the SSID (id 0) is unusual but legal.
    const Bytes rates{1, 4, 0x82, 0x84, 0x8b, 0x96};
    const Bytes home = join({Bytes{0, 4}, text("Home"), rates});
    const std::pair<Bytes, std::optional<std::string>> cases[] = {
        {bss(NL80211_BSS_STATUS_ASSOCIATED, home), "Home"},
        {bss(NL80211_BSS_STATUS_ASSOCIATED, join({rates, Bytes{0, 3}, text("Lab")})), "Lab"},
        {bss(NL80211_BSS_STATUS_IBSS_JOINED, home), "Home"},
        {bss(std::nullopt, home), std::nullopt}, // a network in range, not ours
        {bss(NL80211_BSS_STATUS_AUTHENTICATED, home), std::nullopt},
        {bss(NL80211_BSS_STATUS_ASSOCIATED, rates), std::nullopt},
        {bss(NL80211_BSS_STATUS_ASSOCIATED, Bytes{0, 0}), std::nullopt},           // hidden SSID
        {bss(NL80211_BSS_STATUS_ASSOCIATED, Bytes{0, 9, 'H', 'o'}), std::nullopt}, // cut short
        {attribute(NL80211_ATTR_IFINDEX, u32(3)), std::nullopt},
    };
    int index = 0;
    for (const auto& [bytes, expected] : cases) {
        EXPECT_EQ(parseScanSsid(bytes), expected) << "case " << index++;
    }
}

TEST(DisplaySsid, ArbitraryBytesBecomeSafeDisplayText) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"Home", "Home"},
        {"\xE5\xAE\xB6\xE3\x81\xAE Wi-Fi", "\xE5\xAE\xB6\xE3\x81\xAE Wi-Fi"}, // UTF-8 kept
        {"Caf\xE9", "Caf\xEF\xBF\xBD"}, // Latin-1 byte: replacement character
        {"a\x01"
         "b\nc\x7f"
         "d",
         "abcd"},                           // control characters dropped
        {std::string("ab\0cd", 5), "abcd"}, // an embedded NUL too
        {"\xE2\x80\xAE"
         "evil",
         "evil"},                                   // no bidirectional override
        {"9.9\xE2\x80\xA8X\xE2\x80\xA9Y", "9.9XY"}, // nor a line or paragraph separator
        {"\x01\x02", std::nullopt},                 // nothing printable left
        {"", std::nullopt},                         // hidden network
        {std::string(32, 'x'), std::string(32, 'x')},
        {std::string(33, 'x'), std::nullopt}, // longer than an SSID can be
    };
    for (const auto& [bytes, expected] : cases) {
        const Bytes raw(bytes.begin(), bytes.end());
        EXPECT_EQ(displaySsid(raw), expected) << bytes;
    }
}

TEST(QueryWifiLink, InterfacesWithoutWifiGiveNothing) {
    // Loopback is never wireless; without any Wi-Fi driver nl80211 does not even exist.
    EXPECT_FALSE(queryWifiLink(::if_nametoindex("lo")));
    EXPECT_FALSE(queryWifiLink(0x7fffffff)) << "no such interface";
}

} // namespace
} // namespace trovimo

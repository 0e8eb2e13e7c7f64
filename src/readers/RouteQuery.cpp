#include "readers/RouteQuery.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cstring>
#include <limits>

#include "readers/KernelText.h"
#include "readers/NetlinkAttributes.h"

namespace trovimo {

namespace {

constexpr std::uint32_t routeUp = 0x0001;     // RTF_UP
constexpr std::uint32_t routeReject = 0x0200; // RTF_REJECT

// Any public address will do: the question is which way the default route goes.
constexpr std::array<std::uint8_t, 4> publicAddress{1, 1, 1, 1};

} // namespace

std::optional<std::string_view> parseDefaultRoute(std::string_view table) noexcept {
    // Iface Destination Gateway Flags RefCnt Use Metric Mask MTU Window IRTT, tab-separated,
    // addresses as little-endian hex.
    using kerneltext::parseHexU64;
    std::optional<std::string_view> best;
    std::uint64_t bestMetric = std::numeric_limits<std::uint64_t>::max();
    std::string_view line;
    kerneltext::nextLine(table, line); // the header
    while (kerneltext::nextLine(table, line)) {
        // Most lines are not default routes: look at Destination before splitting the rest.
        const std::size_t firstTab = line.find('\t');
        if (firstTab == std::string_view::npos || firstTab == 0 ||
            !line.substr(firstTab + 1).starts_with("00000000\t")) {
            continue;
        }
        std::array<std::string_view, 8> fields;
        std::string_view rest = line;
        for (auto& field : fields) {
            field = kerneltext::nextField(rest);
        }
        const auto destination = parseHexU64(fields[1]);
        const auto flags = parseHexU64(fields[3]);
        const auto metric = kerneltext::parseU64(fields[6]);
        const auto mask = parseHexU64(fields[7]);
        if (!destination || !flags || !metric || !mask || *destination != 0 || *mask != 0 ||
            (*flags & routeUp) == 0 || (*flags & routeReject) != 0) {
            continue;
        }
        if (!best || *metric < bestMetric) {
            best = fields[0];
            bestMetric = *metric;
        }
    }
    return best;
}

std::optional<std::uint32_t> parseRouteReply(std::span<const std::uint8_t> datagram,
                                             std::uint32_t sequence) noexcept {
    while (datagram.size() >= sizeof(nlmsghdr)) {
        nlmsghdr header{};
        std::memcpy(&header, datagram.data(), sizeof header);
        if (header.nlmsg_len < sizeof(nlmsghdr) || header.nlmsg_len > datagram.size()) {
            return std::nullopt;
        }
        const auto message = datagram.subspan(0, header.nlmsg_len);
        const std::size_t advance = NLMSG_ALIGN(header.nlmsg_len);
        datagram = advance >= datagram.size() ? std::span<const std::uint8_t>()
                                              : datagram.subspan(advance);
        if (header.nlmsg_seq != sequence) {
            continue; // a late answer to an earlier request
        }
        if (header.nlmsg_type == NLMSG_ERROR) {
            return 0U;
        }
        if (header.nlmsg_type != RTM_NEWROUTE) {
            continue;
        }
        const std::size_t attributesAt = NLMSG_LENGTH(NLMSG_ALIGN(sizeof(rtmsg)));
        if (message.size() < attributesAt) {
            return std::nullopt;
        }
        const NetlinkAttributes attributes(message.subspan(attributesAt));
        if (const auto oif = attributes.find(RTA_OIF)) {
            if (const auto index = NetlinkAttributes::u32(*oif)) {
                return *index;
            }
            return std::nullopt;
        }
        return 0U;
    }
    return std::nullopt;
}

std::unique_ptr<RouteQuery> RouteQuery::open() {
    UniqueFd socket(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (!socket) {
        return nullptr;
    }
    // The kernel answers within the send call; the timeout only bounds a misbehaving stack.
    const timeval timeout{0, 200000};
    ::setsockopt(socket.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        return nullptr;
    }
    return std::unique_ptr<RouteQuery>(new RouteQuery(std::move(socket)));
}

std::optional<std::uint32_t> RouteQuery::defaultRouteInterface() {
    struct Request {
        nlmsghdr header;
        rtmsg route;
        rtattr destination;
        std::array<std::uint8_t, 4> address;
    } request{};
    static_assert(sizeof(Request) ==
                  NLMSG_LENGTH(NLMSG_ALIGN(sizeof(rtmsg))) + RTA_LENGTH(sizeof(publicAddress)));
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = RTM_GETROUTE;
    request.header.nlmsg_flags = NLM_F_REQUEST;
    request.header.nlmsg_seq = ++sequence_;
    request.route.rtm_family = AF_INET;
    request.route.rtm_dst_len = 32;
    request.destination.rta_len = RTA_LENGTH(sizeof(publicAddress));
    request.destination.rta_type = RTA_DST;
    request.address = publicAddress;

    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(socket_.get(), &request, sizeof request, 0,
                 reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel) < 0) {
        return std::nullopt;
    }
    // Skip stale answers to earlier requests that timed out; a few datagrams at most.
    for (int attempt = 0; attempt < 8; ++attempt) {
        sockaddr_nl sender{};
        socklen_t senderLength = sizeof sender;
        const ssize_t got = ::recvfrom(socket_.get(), buffer_.data(), buffer_.size(), MSG_TRUNC,
                                       reinterpret_cast<sockaddr*>(&sender), &senderLength);
        if (got < 0) {
            return std::nullopt;
        }
        if (static_cast<std::size_t>(got) > buffer_.size() || sender.nl_pid != 0) {
            continue; // truncated, or not from the kernel
        }
        const auto index = parseRouteReply(
            std::span<const std::uint8_t>(buffer_.data(), static_cast<std::size_t>(got)),
            sequence_);
        if (index) {
            if (*index == 0) {
                return std::nullopt;
            }
            return index;
        }
    }
    return std::nullopt;
}

} // namespace trovimo

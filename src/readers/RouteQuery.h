#pragma once

#include "core/UniqueFd.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

namespace trovimo {

// The interface of the IPv4 default route in /proc/net/route (main table only): Destination
// and Mask 0, RTF_UP set, RTF_REJECT clear, lowest metric, the first line on a tie. The view
// points into `table`.
[[nodiscard]] std::optional<std::string_view> parseDefaultRoute(std::string_view table) noexcept;

// The answer to RTM_GETROUTE request `sequence` in one datagram from the kernel: the output
// interface index (RTA_OIF), or 0 when the kernel answered with an error (no route) or a
// route without an interface. Absent when the datagram holds no answer to that request or is
// malformed.
[[nodiscard]] std::optional<std::uint32_t> parseRouteReply(std::span<const std::uint8_t> datagram,
                                                           std::uint32_t sequence) noexcept;

// Asks the kernel, over an rtnetlink socket opened once, which interface it would send a packet
// to a public IPv4 address through, as `ip route get` does. Unlike the main table in
// /proc/net/route this respects policy routing (VPN clients put their routes in other tables).
// Nothing is sent on the network.
class RouteQuery {
public:
    // Absent when the socket cannot be opened.
    [[nodiscard]] static std::unique_ptr<RouteQuery> open();

    // The output interface index; absent when there is no route or no answer.
    [[nodiscard]] std::optional<std::uint32_t> defaultRouteInterface();

private:
    explicit RouteQuery(UniqueFd socket) : socket_(std::move(socket)) {}

    UniqueFd socket_;
    std::uint32_t sequence_ = 0;
    alignas(4) std::array<std::uint8_t, 8192> buffer_{};
};

} // namespace trovimo

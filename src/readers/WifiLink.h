#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace trovimo {

// What nl80211 says about a Wi-Fi interface's current association.
struct WifiDetails {
    std::optional<std::string> ssid; // cleaned for display
    std::optional<int> generation;   // 4 (HT), 5 (VHT), 6 (HE), 7 (EHT); absent for legacy rates
};

// The network name of an NL80211_CMD_GET_INTERFACE reply, given the message's attributes.
// An SSID is up to 32 arbitrary bytes: decoded as UTF-8 with U+FFFD for bad sequences, with
// control and bidirectional-override characters dropped, as it is only ever displayed. Absent
// when there is none, it is longer than 32 bytes, or nothing printable is left.
[[nodiscard]] std::optional<std::string>
parseInterfaceSsid(std::span<const std::uint8_t> attributes);

// The network name of the BSS we are associated with, from one NL80211_CMD_GET_SCAN message:
// the SSID element (id 0) of its information elements, cleaned as above. Absent for a BSS we
// are not associated with. Some drivers leave the interface's SSID attribute empty; the scan
// results still carry it.
[[nodiscard]] std::optional<std::string> parseScanSsid(std::span<const std::uint8_t> attributes);

// The Wi-Fi generation of the rates in one NL80211_CMD_GET_STATION message: the higher of the
// TX and RX bitrate's (single frames may go at legacy rates in one direction).
[[nodiscard]] std::optional<int> parseStationGeneration(std::span<const std::uint8_t> attributes);

// The SSID bytes cleaned for display (see parseInterfaceSsid).
[[nodiscard]] std::optional<std::string> displaySsid(std::span<const std::uint8_t> bytes);

// "Wi-Fi 4", "Wi-Fi 5", "Wi-Fi 6"; absent for anything else (the panel names no later ones).
[[nodiscard]] std::optional<std::string> wifiGenerationText(std::optional<int> generation);

// Asks nl80211 (generic netlink, libnl-genl-3) about one interface. Needs no privileges.
// Absent when nl80211 is not there (no Wi-Fi driver) or the interface is not wireless.
[[nodiscard]] std::optional<WifiDetails> queryWifiLink(unsigned interfaceIndex);

} // namespace trovimo

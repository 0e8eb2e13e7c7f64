// nl80211 replies: the attribute walk, the SSID (interface and scan result) and the station's
// rate information.
#include "readers/NetlinkAttributes.h"
#include "readers/WifiLink.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    std::size_t covered = 0;
    trovimo::NetlinkAttributes(bytes).forEach([&](const auto& attribute) {
        covered += attribute.payload.size() + trovimo::NetlinkAttributes::headerSize;
        if (attribute.payload.data() < data ||
            attribute.payload.data() + attribute.payload.size() > data + size) {
            std::abort();
        }
    });
    if (covered > size) {
        std::abort();
    }
    if (const auto ssid = trovimo::parseInterfaceSsid(bytes)) {
        for (const char c : *ssid) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
                std::abort(); // control characters never reach the display
            }
        }
    }
    if (const auto ssid = trovimo::parseScanSsid(bytes); ssid && ssid->empty()) {
        std::abort(); // an empty name is no name
    }
    if (const auto generation = trovimo::parseStationGeneration(bytes)) {
        if (*generation < 4 || *generation > 7) {
            std::abort();
        }
    }
    (void)trovimo::displaySsid(bytes);
    return 0;
}

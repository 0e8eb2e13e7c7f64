#include "readers/NetlinkAttributes.h"

#include <cstring>

namespace trovimo {

std::uint16_t NetlinkAttributes::load16(const std::uint8_t* at) noexcept {
    std::uint16_t value = 0;
    std::memcpy(&value, at, sizeof value);
    return value;
}

std::optional<std::span<const std::uint8_t>> NetlinkAttributes::find(std::uint16_t type) const {
    std::optional<std::span<const std::uint8_t>> found;
    forEach([&](const Attribute& attribute) {
        if (!found && attribute.type == type) {
            found = attribute.payload;
        }
    });
    return found;
}

std::optional<std::uint8_t> NetlinkAttributes::u8(std::span<const std::uint8_t> payload) {
    if (payload.size() != 1) {
        return std::nullopt;
    }
    return payload[0];
}

std::optional<std::uint32_t> NetlinkAttributes::u32(std::span<const std::uint8_t> payload) {
    if (payload.size() != sizeof(std::uint32_t)) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    std::memcpy(&value, payload.data(), sizeof value);
    return value;
}

} // namespace trovimo

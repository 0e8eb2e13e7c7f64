#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace trovimo {

// A read-only walk over a run of netlink attributes (struct nlattr: u16 length including the
// 4-byte header, u16 type, payload padded to 4 bytes). Bytes come from the kernel or from a
// test; a length that runs past the end, or is shorter than the header, ends the walk, so a
// malformed message yields fewer attributes, never a read out of bounds.
class NetlinkAttributes {
public:
    struct Attribute {
        std::uint16_t type = 0; // without the NLA_F_NESTED / NLA_F_NET_BYTEORDER bits
        std::span<const std::uint8_t> payload;
    };

    explicit NetlinkAttributes(std::span<const std::uint8_t> bytes) noexcept : bytes_(bytes) {}

    // Calls `visit(attribute)` for each attribute in order.
    template <typename Visit> void forEach(Visit&& visit) const {
        std::span<const std::uint8_t> rest = bytes_;
        while (rest.size() >= headerSize) {
            const std::uint16_t length = load16(rest.data());
            const std::uint16_t type = load16(rest.data() + 2) & typeMask;
            if (length < headerSize || length > rest.size()) {
                return;
            }
            visit(Attribute{type, rest.subspan(headerSize, length - headerSize)});
            const std::size_t advance = (static_cast<std::size_t>(length) + 3U) & ~std::size_t{3};
            if (advance >= rest.size()) {
                return;
            }
            rest = rest.subspan(advance);
        }
    }

    // The first attribute of this type, if any.
    [[nodiscard]] std::optional<std::span<const std::uint8_t>> find(std::uint16_t type) const;

    // Integer payloads of exactly the right size (host byte order, as the kernel writes them).
    [[nodiscard]] static std::optional<std::uint8_t> u8(std::span<const std::uint8_t> payload);
    [[nodiscard]] static std::optional<std::uint32_t> u32(std::span<const std::uint8_t> payload);

    static constexpr std::size_t headerSize = 4;

private:
    static constexpr std::uint16_t typeMask = 0x3fff;

    static std::uint16_t load16(const std::uint8_t* at) noexcept;

    std::span<const std::uint8_t> bytes_;
};

} // namespace trovimo

#pragma once

#include <cstdint>

namespace trovimo {

// Both fields share one unit (nanoseconds) so their differences divide without conversion.
struct SelfCPUSample {
    std::uint64_t cpuTime = 0;
    std::uint64_t timestamp = 0;

    friend bool operator==(const SelfCPUSample&, const SelfCPUSample&) = default;
};

} // namespace trovimo

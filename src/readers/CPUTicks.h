#pragma once

#include <cstdint>

namespace trovimo {

// Cumulative tick counters of one core, 64 bits wide as the kernel keeps them.
struct CPUTicks {
    std::uint64_t user = 0;
    std::uint64_t system = 0;
    std::uint64_t idle = 0;
    std::uint64_t nice = 0;

    friend bool operator==(const CPUTicks&, const CPUTicks&) = default;
};

} // namespace trovimo

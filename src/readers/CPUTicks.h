#pragma once

#include <cstdint>

namespace trovimo {

// Cumulative tick counters of one core. The counters are 32-bit and wrap; consumers take
// differences with unsigned arithmetic so a wrap between two samples is harmless.
struct CPUTicks {
    std::uint32_t user = 0;
    std::uint32_t system = 0;
    std::uint32_t idle = 0;
    std::uint32_t nice = 0;

    friend bool operator==(const CPUTicks&, const CPUTicks&) = default;
};

} // namespace trovimo

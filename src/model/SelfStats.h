#pragma once

#include <cstdint>

namespace trovimo {

struct SelfStats {
    double cpu = 0.0;         // CPU time per elapsed time since the previous sample; 1.0 = one core
    std::uint64_t memory = 0; // private physical footprint in bytes

    friend bool operator==(const SelfStats&, const SelfStats&) = default;
};

} // namespace trovimo

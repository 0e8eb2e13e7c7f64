#pragma once

#include "model/MemoryPressure.h"

#include <cstdint>
#include <optional>

namespace trovimo {

// All sizes in bytes.
struct MemoryStats {
    std::uint64_t used = 0; // app + wired + compressed
    std::uint64_t total = 0;
    std::uint64_t app = 0;
    std::uint64_t wired = 0;
    std::uint64_t compressed = 0;
    std::uint64_t swapUsed = 0;  // 0 when swap figures cannot be read
    std::uint64_t swapTotal = 0; // 0 when swap figures cannot be read
    std::optional<MemoryPressure> pressure;

    friend bool operator==(const MemoryStats&, const MemoryStats&) = default;
};

} // namespace trovimo

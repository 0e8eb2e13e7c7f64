#pragma once

#include <cstdint>
#include <optional>

namespace trovimo {

enum class MemoryPressure { normal, warning, critical };

// The kernel's level numbering: 1 normal, 2 warning, 4 critical; anything else is unknown.
[[nodiscard]] constexpr std::optional<MemoryPressure> memoryPressureFromLevel(std::int32_t level) {
    switch (level) {
    case 1:
        return MemoryPressure::normal;
    case 2:
        return MemoryPressure::warning;
    case 4:
        return MemoryPressure::critical;
    default:
        return std::nullopt;
    }
}

} // namespace trovimo

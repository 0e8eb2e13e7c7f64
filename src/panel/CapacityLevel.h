#pragma once

#include <cstdint>

namespace trovimo {

// Severity of a filled bar; picks the fill colour (blue, orange, red).
enum class CapacityLevel : std::uint8_t { normal, warning, critical };

} // namespace trovimo

#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace trovimo {

// Rounds halves away from zero (0.5 -> 1, -0.5 -> -1). A value that is not finite has no
// meaningful key and yields 0; values beyond the 64-bit range saturate, so a corrupt sample
// can never make the conversion undefined.
[[nodiscard]] inline std::int64_t roundHalfAwayFromZero(double value) noexcept {
    if (!std::isfinite(value)) {
        return 0;
    }
    const double rounded = std::round(value);
    constexpr double limit = 9223372036854775808.0; // 2^63
    if (rounded >= limit) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (rounded < -limit) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(rounded);
}

// The animation key of a percent text with `fractionDigits` decimals: the fraction in units
// of the last shown digit (0.452 -> 45 for whole percents, 0.0083 -> 8 with one decimal).
// The text itself is formatted from this key, so text and key always change together.
[[nodiscard]] inline std::int64_t percentKey(double fraction, int fractionDigits) noexcept {
    double scale = 100.0;
    for (int digit = 0; digit < fractionDigits; ++digit) {
        scale *= 10.0;
    }
    return roundHalfAwayFromZero(fraction * scale);
}

} // namespace trovimo

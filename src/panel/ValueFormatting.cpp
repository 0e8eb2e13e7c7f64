#include "panel/ValueFormatting.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string_view>

namespace trovimo {
namespace {

constexpr std::array<std::string_view, 6> byteUnits{"B", "KB", "MB", "GB", "TB", "PB"};

struct Scaled {
    double value;
    std::size_t unit;
};

Scaled scale(std::int64_t bytes) {
    double value = bytes > 0 ? static_cast<double>(bytes) : 0.0;
    std::size_t unit = 0;
    if (bytes >= 1000) {
        value /= 1000.0;
        unit = 1;
        while (value >= 1000.0 && unit < byteUnits.size() - 1) {
            value /= 1000.0;
            ++unit;
        }
    }
    return {value, unit};
}

// Fixed-point with exact rounding of the binary value. to_chars ignores LC_NUMERIC (which
// QApplication sets from the environment), so the mark is a full stop in every locale.
std::string fixed(double value, int decimals) {
    char buffer[400]; // room for the largest double in fixed notation
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return std::string(buffer, result.ptr);
}

} // namespace

std::string formatBytes(std::int64_t bytes) {
    const auto [value, unit] = scale(bytes);
    const int decimals = (unit > 0 && value < 100.0) ? 1 : 0;
    std::string text = fixed(value, decimals);
    text += ' ';
    text += byteUnits[unit];
    return text;
}

std::string formatBytesCompact(std::int64_t bytes) {
    if (bytes < 1000) {
        return fixed(static_cast<double>(bytes > 0 ? bytes : 0), 0) + "B";
    }
    const auto [value, unit] = scale(bytes);
    const int decimals = value < 10.0 ? 1 : 0;
    return fixed(value, decimals) + byteUnits[unit].front();
}

std::string formatRate(double bytesPerSecond) {
    // Not finite, or beyond what a signed 64-bit count holds: converting would be undefined,
    // so such a rate shows as nothing moving.
    const double rounded = std::round(bytesPerSecond); // halves away from zero
    constexpr double limit = 9223372036854775808.0;    // 2^63
    std::int64_t whole = 0;
    if (std::isfinite(rounded) && rounded > -limit && rounded < limit) {
        whole = static_cast<std::int64_t>(rounded);
    }
    return formatBytes(whole) + "/s";
}

} // namespace trovimo

#include "panel/SectionTexts.h"

#include "panel/AnimationKey.h"
#include "panel/DiskLevel.h"
#include "panel/PercentFormat.h"
#include "panel/ValueFormatting.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>

namespace trovimo::texts {

std::int64_t toSignedBytes(std::uint64_t bytes) noexcept {
    constexpr auto largest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    return static_cast<std::int64_t>(bytes > largest ? largest : bytes);
}

std::string legendText(std::string_view label, std::int64_t bytes) {
    std::string text(label);
    text += ' ';
    text += formatBytesCompact(bytes);
    return text;
}

double graphTop(std::span<const double> history, double floor) noexcept {
    double top = floor;
    for (const double value : history) {
        // A NaN would poison the comparison and an infinity would flatten every other point.
        if (std::isfinite(value) && value > top) {
            top = value;
        }
    }
    return top;
}

double rateScale(std::span<const double> history) noexcept {
    return graphTop(history, minimumRateScale);
}

} // namespace trovimo::texts

#include "panel/SectionTexts.h"

#include "panel/AnimationKey.h"
#include "panel/DiskLevel.h"
#include "panel/PercentFormat.h"
#include "panel/ValueFormatting.h"

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

std::string memoryUsageText(const MemoryStats& memory) {
    return formatBytes(toSignedBytes(memory.used)) + " / " +
           formatBytes(toSignedBytes(memory.total));
}

std::optional<std::string> swapText(const MemoryStats& memory) {
    if (memory.swapTotal == 0) {
        return std::nullopt;
    }
    return "スワップ " + formatBytesCompact(toSignedBytes(memory.swapUsed)) + "/" +
           formatBytesCompact(toSignedBytes(memory.swapTotal));
}

std::string_view pressureText(MemoryPressure pressure) noexcept {
    switch (pressure) {
    case MemoryPressure::normal:
        return "圧力 正常";
    case MemoryPressure::warning:
        return "圧力 注意";
    case MemoryPressure::critical:
        return "圧力 逼迫";
    }
    return {};
}

std::string diskRemainingText(const DiskUsage& disk) {
    return "残り " + formatBytes(diskRemaining(disk));
}

std::string diskAlertText(double alertThreshold) {
    return "使用率がしきい値（" + std::to_string(percentKey(alertThreshold, 0)) +
           "%）を超えています";
}

std::string diskUsageText(const DiskUsage& disk) {
    return formatBytes(disk.used) + " / " + formatBytes(disk.total) + " 使用中";
}

std::string selfLoadText(const SelfStats& self, const icu::Locale& locale) {
    return "CPU " + percentText(self.cpu, 1, locale) + "・" +
           formatBytes(toSignedBytes(self.memory));
}

std::string selfLoadText(const SelfStats& self) {
    return selfLoadText(self, userNumberLocale());
}

double rateScale(std::span<const double> history) noexcept {
    double scale = minimumRateScale;
    for (const double rate : history) {
        // A NaN would poison the comparison and an infinity would flatten every other point.
        if (std::isfinite(rate) && rate > scale) {
            scale = rate;
        }
    }
    return scale;
}

} // namespace trovimo::texts

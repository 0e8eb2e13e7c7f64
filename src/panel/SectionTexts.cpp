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

std::string temperatureText(double celsius) {
    return std::to_string(std::lround(celsius)) + "°C";
}

CapacityLevel temperatureLevel(const Temperature& temperature) noexcept {
    if (temperature.celsius >= temperature.critical) {
        return CapacityLevel::critical;
    }
    return temperature.celsius >= temperature.high ? CapacityLevel::warning : CapacityLevel::normal;
}

std::optional<Temperature> hottest(const SensorReadings& sensors) noexcept {
    std::optional<Temperature> result;
    for (const auto& reading : {sensors.cpu, sensors.gpu, sensors.ssd}) {
        if (reading && (!result || reading->celsius > result->celsius)) {
            result = reading;
        }
    }
    return result;
}

std::string fanText(std::uint32_t rpm) {
    std::string digits = std::to_string(rpm);
    for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<std::size_t>(at), 1, ',');
    }
    return digits + " rpm";
}

std::string_view batteryStateText(BatteryState state) noexcept {
    switch (state) {
    case BatteryState::charging:
        return "充電中";
    case BatteryState::discharging:
        return "放電中";
    case BatteryState::full:
        return "満充電";
    case BatteryState::pluggedIn:
        return "電源接続";
    case BatteryState::unknown:
        break;
    }
    return {};
}

std::string batteryDetailText(const BatteryStatus& battery) {
    std::string text(batteryStateText(battery.state));
    const auto add = [&text](const std::string& part) {
        if (!text.empty()) {
            text += "・";
        }
        text += part;
    };
    if (battery.timeLeft && battery.timeLeft->count() >= 0) {
        const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(*battery.timeLeft);
        const auto hours = minutes.count() / 60;
        const auto rest = minutes.count() % 60;
        add("残り " + std::to_string(hours) + (rest < 10 ? ":0" : ":") + std::to_string(rest));
    }
    if (battery.powerWatts && std::isfinite(*battery.powerWatts)) {
        char buffer[32];
        const auto [end, error] =
            std::to_chars(buffer, buffer + sizeof buffer, std::abs(*battery.powerWatts),
                          std::chars_format::fixed, 1);
        if (error == std::errc{}) {
            add(std::string(buffer, end) + " W");
        }
    }
    return text;
}

CapacityLevel batteryLevel(const BatteryStatus& battery) noexcept {
    if (!battery.percent) {
        return CapacityLevel::normal;
    }
    if (*battery.percent <= 10.0) {
        return CapacityLevel::critical;
    }
    if (*battery.percent <= 20.0 && battery.state == BatteryState::discharging) {
        return CapacityLevel::warning;
    }
    return CapacityLevel::normal;
}

} // namespace trovimo::texts

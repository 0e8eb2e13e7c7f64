#include "panel/BatterySection.h"

#include "panel/AnimationKey.h"
#include "panel/PercentFormat.h"
#include "panel/SectionConventions.h"
#include "panel/SectionParts.h"
#include "panel/SectionTexts.h"
#include "panel/SpokenTexts.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>

namespace trovimo {
namespace {

constexpr std::string_view batteryLabel = "バッテリー";

constexpr double rowSpacing = 6.0;

} // namespace

SectionLayout layoutBatterySection(const PanelInputs& inputs, const Theme& theme, double width) {
    using namespace sections;
    const std::optional<BatteryStatus>& battery = inputs.stats->battery;
    SectionLayout out;

    std::optional<double> fraction;
    if (battery && battery->percent && std::isfinite(*battery->percent)) {
        fraction = std::clamp(*battery->percent / 100.0, 0.0, 1.0);
    }
    const CapacityLevel level = battery ? texts::batteryLevel(*battery) : CapacityLevel::normal;
    TextElement value;
    if (fraction) {
        const std::int64_t key = percentKey(*fraction, 0);
        value = animatedValue(QString::fromStdString(formatPercentKey(key, 0, userNumberLocale())),
                              largeValueFont(), levelTextColor(level), "battery.value", key);
    } else {
        // A desktop, no battery to speak of; or a charge the driver cannot tell.
        value = largeValuePlaceholder();
    }
    double y = appendSectionHeader(out, theme, 0.0, width, qtext(batteryLabel), std::move(value));

    y += rowSpacing;
    out.elements.emplace_back(
        CapacityBarElement{QRectF(0.0, y, width, CapacityBar::height),
                           CapacityBar{fraction.value_or(0.0), level, fraction.has_value()}});
    y += CapacityBar::height;

    const std::string detail = battery ? texts::batteryDetailText(*battery) : std::string();
    if (!detail.empty()) {
        y += rowSpacing - 1.0;
        const FontSpec font = caption2DigitsFont();
        const double height = theme.lineHeight(font);
        TextElement line = centredText(theme, QRectF(0.0, y, width, height),
                                       QString::fromStdString(detail), font, ColorRole::secondary);
        line.minimumScale = 0.8;
        out.elements.emplace_back(std::move(line));
        y += height;
    }
    out.height = y;
    return out;
}

QString spokenBatterySection(const PanelInputs& inputs) {
    const std::optional<BatteryStatus>& battery = inputs.stats->battery;
    if (!battery) {
        return spoken::noData();
    }
    // A charge no battery reports is left out; the state and the rest are still said.
    QStringList parts;
    if (battery->percent && std::isfinite(*battery->percent)) {
        parts << spoken::percent(std::clamp(*battery->percent / 100.0, 0.0, 1.0), 0);
    }
    if (const QString level = spoken::levelWord(texts::batteryLevel(*battery)); !level.isEmpty()) {
        parts << level;
    }
    if (const std::string_view state = texts::batteryStateText(battery->state); !state.empty()) {
        parts << spoken::utf8(state);
    }
    if (battery->timeLeft && battery->timeLeft->count() >= 0) {
        const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(*battery->timeLeft);
        parts << QStringLiteral("残り %1時間%2分")
                     .arg(minutes.count() / 60)
                     .arg(minutes.count() % 60);
    }
    if (battery->powerWatts && std::isfinite(*battery->powerWatts)) {
        parts << QString::number(std::abs(*battery->powerWatts), 'f', 1) + QStringLiteral("ワット");
    }
    return parts.isEmpty() ? spoken::noData() : spoken::joined(parts);
}

} // namespace trovimo

namespace trovimo::texts {

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

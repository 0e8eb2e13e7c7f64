#include "panel/SensorsSection.h"

#include "panel/AnimationKey.h"
#include "panel/SectionConventions.h"
#include "panel/SectionParts.h"
#include "panel/SectionTexts.h"
#include "panel/SpokenTexts.h"

#include <algorithm>
#include <cmath>

namespace trovimo {
namespace {

QString degrees(const Temperature& temperature) {
    QString text = QString::number(std::lround(temperature.celsius)) + QStringLiteral("度");
    if (const QString level = spoken::levelWord(texts::temperatureLevel(temperature));
        !level.isEmpty()) {
        text += QLatin1Char(' ') + level;
    }
    return text;
}

constexpr std::string_view sensorsLabel = "温度";
constexpr std::string_view fanLabel = "ファン";
constexpr std::string_view noSensorsText = "センサーが見つかりません";

using namespace sections;

constexpr double rowSpacing = 4.0;
constexpr double historyHeight = 24.0;
// The top of the CPU temperature's history, unless it ran hotter.
constexpr double historyTop = 100.0;

// "CPU" at the left, "52°C" at the right, on one baseline: a header row in the row's fonts.
double appendReadingRow(SectionLayout& out, const Theme& theme, double y, double width,
                        const QString& label, const QString& text, ColorRole color) {
    TextElement value;
    value.text = text;
    value.font = captionDigitsFont();
    value.color = color;
    return appendSectionHeader(out, theme, y, width, label, std::move(value),
                               FontSpec{TextStyle::caption});
}

} // namespace

SectionLayout layoutSensorsSection(const PanelInputs& inputs, const Theme& theme, double width) {
    const std::optional<SensorReadings>& sensors = inputs.stats->sensors;
    SectionLayout out;

    const std::optional<Temperature> top = sensors ? texts::hottest(*sensors) : std::nullopt;
    TextElement value;
    if (top) {
        const auto key = static_cast<std::int64_t>(std::lround(top->celsius));
        value = animatedValue(QString::fromStdString(texts::temperatureText(top->celsius)),
                              largeValueFont(), levelTextColor(texts::temperatureLevel(*top)),
                              "sensors.value", key);
    } else {
        // No sensor this program knows of: a quiet dash, as for a machine without a GPU.
        value = largeValuePlaceholder();
    }
    double y = appendSectionHeader(out, theme, 0.0, width, qtext(sensorsLabel), std::move(value));

    const std::vector<double>& history = inputs.stats->cpuTemperatureHistory;
    if (!sensors && history.empty()) {
        // A machine that reports no temperature at all: say so once, not an empty graph
        // that waits for ever.
        y += rowSpacing;
        const FontSpec font = caption2Font();
        const double height = theme.lineHeight(font);
        out.elements.emplace_back(centredText(theme, QRectF(0.0, y, width, height),
                                              qtext(noSensorsText), font, ColorRole::secondary));
        out.height = y + height;
        return out;
    }
    y += rowSpacing + 2.0;
    out.elements.emplace_back(SparklineElement{
        QRectF(0.0, y, width, historyHeight),
        Sparkline{history, texts::graphTop(history, historyTop), ColorRole::blue}});
    y += historyHeight;

    if (sensors) {
        const std::pair<std::string_view, const std::optional<Temperature>&> rows[] = {
            {"CPU", sensors->cpu}, {"GPU", sensors->gpu}, {"SSD", sensors->ssd}};
        for (const auto& [label, reading] : rows) {
            if (reading) {
                y += rowSpacing;
                y += appendReadingRow(
                    out, theme, y, width, qtext(label),
                    QString::fromStdString(texts::temperatureText(reading->celsius)),
                    levelTextColor(texts::temperatureLevel(*reading)));
            }
        }
        if (sensors->fanRpm) {
            y += rowSpacing;
            y += appendReadingRow(out, theme, y, width, qtext(fanLabel),
                                  QString::fromStdString(texts::fanText(*sensors->fanRpm)),
                                  ColorRole::primary);
        }
    }
    out.height = y;
    return out;
}

QString spokenSensorsSection(const PanelInputs& inputs) {
    const std::optional<SensorReadings>& sensors = inputs.stats->sensors;
    const std::optional<Temperature> top = sensors ? texts::hottest(*sensors) : std::nullopt;
    if (!top && !(sensors && sensors->fanRpm)) {
        return spoken::noData();
    }
    QStringList parts;
    if (top) {
        parts << QStringLiteral("最高 ") + degrees(*top);
    }
    const std::pair<const char*, const std::optional<Temperature>&> rows[] = {
        {"CPU", sensors->cpu}, {"GPU", sensors->gpu}, {"SSD", sensors->ssd}};
    for (const auto& [label, reading] : rows) {
        if (reading) {
            parts << QLatin1String(label) + QLatin1Char(' ') + degrees(*reading);
        }
    }
    if (sensors->fanRpm) {
        parts << QStringLiteral("ファン 毎分%1回転").arg(*sensors->fanRpm);
    }
    return spoken::joined(parts);
}

} // namespace trovimo

namespace trovimo::texts {

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

} // namespace trovimo::texts

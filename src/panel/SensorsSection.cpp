#include "panel/Sections.h"

#include "panel/AnimationKey.h"
#include "panel/SectionParts.h"
#include "panel/SectionTexts.h"

#include <algorithm>
#include <cmath>

namespace trovimo {
namespace {

using namespace sections;

constexpr double rowSpacing = 4.0;
constexpr double historyHeight = 24.0;
// The top of the CPU temperature's history, unless it ran hotter.
constexpr double historyTop = 100.0;

// "CPU" at the left, "52°C" at the right, on one baseline.
double appendReadingRow(SectionLayout& out, const Theme& theme, double y, double width,
                        const QString& label, const QString& value, ColorRole color) {
    const FontSpec labelFont{TextStyle::caption};
    const FontSpec valueFont = captionDigitsFont();
    const double baseline = std::max(theme.ascent(labelFont), theme.ascent(valueFont));
    const double height =
        std::max(baseline + theme.descent(labelFont), baseline + theme.descent(valueFont));
    const double valueWidth = std::min(width, std::ceil(theme.textWidth(value, valueFont)));
    TextElement left;
    left.rect = QRectF(0.0, y, std::max(0.0, width - valueWidth - rowSpacing), height);
    left.baseline = y + baseline;
    left.text = label;
    left.font = labelFont;
    left.color = ColorRole::secondary;
    out.elements.emplace_back(std::move(left));
    TextElement right;
    right.rect = QRectF(width - valueWidth, y, valueWidth, height);
    right.baseline = y + baseline;
    right.text = value;
    right.font = valueFont;
    right.color = color;
    right.alignment = Qt::AlignRight;
    out.elements.emplace_back(std::move(right));
    return height;
}

} // namespace

SectionLayout layoutSensorsSection(const PanelInputs& inputs, const Theme& theme, double width) {
    const std::optional<SensorReadings>& sensors = inputs.stats.sensors;
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
    double y =
        appendSectionHeader(out, theme, 0.0, width, qtext(texts::sensorsLabel), std::move(value));

    y += rowSpacing + 2.0;
    const std::vector<double>& history = inputs.stats.cpuTemperatureHistory;
    double historyScale = historyTop;
    for (const double celsius : history) {
        if (std::isfinite(celsius)) {
            historyScale = std::max(historyScale, celsius);
        }
    }
    out.elements.emplace_back(SparklineElement{QRectF(0.0, y, width, historyHeight),
                                               Sparkline{history, historyScale, ColorRole::blue}});
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
            y += appendReadingRow(out, theme, y, width, qtext(texts::fanLabel),
                                  QString::fromStdString(texts::fanText(*sensors->fanRpm)),
                                  ColorRole::primary);
        }
    }
    out.height = y;
    return out;
}

} // namespace trovimo

#include "panel/CPUSection.h"

#include "panel/AnimationKey.h"
#include "panel/PercentFormat.h"
#include "panel/SectionConventions.h"
#include "panel/SectionParts.h"
#include "panel/SectionTexts.h"

namespace trovimo {
namespace {

constexpr std::string_view cpuLabel = "CPU";

constexpr double rowSpacing = 6.0;
constexpr double historyHeight = 30.0;
constexpr double coreBarsHeight = 20.0;

} // namespace

SectionLayout layoutCPUSection(const PanelInputs& inputs, const Theme& theme, double width) {
    using namespace sections;
    const auto& cpu = inputs.stats->cpu;
    SectionLayout out;

    // Before the first sample the header reads the locale's zero percent.
    const std::int64_t key = percentKey(cpu ? cpu->total : 0.0, 0);
    double y = appendSectionHeader(
        out, theme, 0.0, width, qtext(cpuLabel),
        animatedValue(QString::fromStdString(formatPercentKey(key, 0, userNumberLocale())),
                      largeValueFont(), ColorRole::primary, "cpu.value", key));

    y += rowSpacing;
    out.elements.emplace_back(
        SparklineElement{QRectF(0.0, y, width, historyHeight),
                         Sparkline{inputs.stats->cpuHistory, 1.0, ColorRole::blue}});
    y += historyHeight;

    if (inputs.settings.showCoreBars() && cpu) {
        y += rowSpacing;
        out.elements.emplace_back(
            CoreBarsElement{QRectF(0.0, y, width, coreBarsHeight), CoreBars{cpu->perCore}});
        y += coreBarsHeight;
    }
    out.height = y;
    return out;
}

} // namespace trovimo

#include "panel/CPUSection.h"

#include "panel/AnimationKey.h"
#include "panel/PercentFormat.h"
#include "panel/SectionConventions.h"
#include "panel/SectionParts.h"
#include "panel/SectionTexts.h"
#include "panel/SpokenTexts.h"

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

QString spokenCPUSection(const PanelInputs& inputs) {
    const std::optional<CPULoad>& cpu = inputs.stats->cpu;
    if (!cpu) {
        return spoken::noData();
    }
    QStringList parts{spoken::percent(cpu->total, 0)};
    // The bars show every core; in words the busiest one says what matters.
    if (inputs.settings.showCoreBars() && cpu->perCore.size() > 1) {
        const double busiest = *std::max_element(cpu->perCore.begin(), cpu->perCore.end());
        parts << QStringLiteral("最も高いコア ") + spoken::percent(busiest, 0);
    }
    return spoken::joined(parts);
}

} // namespace trovimo

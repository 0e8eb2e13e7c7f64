#include "panel/GPUSection.h"

#include "panel/AnimationKey.h"
#include "panel/PercentFormat.h"
#include "panel/SectionConventions.h"
#include "panel/SectionParts.h"
#include "panel/SectionTexts.h"
#include "panel/SpokenTexts.h"

namespace trovimo {
namespace {

constexpr std::string_view gpuLabel = "GPU";

constexpr double rowSpacing = 6.0;
constexpr double historyHeight = 24.0;

} // namespace

SectionLayout layoutGPUSection(const PanelInputs& inputs, const Theme& theme, double width) {
    using namespace sections;
    const auto& gpu = inputs.stats->gpu;
    SectionLayout out;

    TextElement value;
    if (gpu) {
        const std::int64_t key = percentKey(*gpu, 0);
        value = animatedValue(QString::fromStdString(formatPercentKey(key, 0, userNumberLocale())),
                              largeValueFont(), ColorRole::primary, "gpu.value", key);
    } else {
        // No utilisation figure on this machine (or not yet): a quiet dash, not a fake 0 %.
        value = largeValuePlaceholder();
    }
    double y = appendSectionHeader(out, theme, 0.0, width, qtext(gpuLabel), std::move(value));

    y += rowSpacing;
    out.elements.emplace_back(
        SparklineElement{QRectF(0.0, y, width, historyHeight),
                         Sparkline{inputs.stats->gpuHistory, 1.0, ColorRole::blue}});
    out.height = y + historyHeight;
    return out;
}

QString spokenGPUSection(const PanelInputs& inputs) {
    return inputs.stats->gpu ? spoken::percent(*inputs.stats->gpu, 0) : spoken::noData();
}

} // namespace trovimo

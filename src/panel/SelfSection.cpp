#include "panel/SelfSection.h"

#include "panel/SpokenTexts.h"
#include "panel/ValueFormatting.h"

#include "panel/AnimationKey.h"
#include "panel/PercentFormat.h"
#include "panel/SectionConventions.h"
#include "panel/SectionParts.h"
#include "panel/SectionTexts.h"

namespace trovimo {
namespace {

constexpr std::string_view selfLabel = "Trovimo";

} // namespace

SectionLayout layoutSelfSection(const PanelInputs& inputs, const Theme& theme, double width) {
    using namespace sections;
    const auto& self = inputs.stats->selfStats;
    SectionLayout out;

    TextElement value;
    if (self) {
        // Keyed on tenths of a percent, the last digit shown.
        value =
            animatedValue(QString::fromStdString(texts::selfLoadText(*self)), captionDigitsFont(),
                          ColorRole::secondary, "self.value", percentKey(self->cpu, 1));
        value.minimumScale = 0.8;
    } else {
        // The first sample has no previous one to measure CPU time against.
        value.text = qtext(texts::placeholder);
        value.font.style = TextStyle::caption;
        value.color = ColorRole::secondary;
    }
    out.height = appendSectionHeader(out, theme, 0.0, width, qtext(selfLabel), std::move(value));
    return out;
}

QString spokenSelfSection(const PanelInputs& inputs) {
    const std::optional<SelfStats>& self = inputs.stats->selfStats;
    if (!self) {
        return spoken::noData();
    }
    return QStringLiteral("CPU ") + spoken::percent(self->cpu, 1) + QStringLiteral("、メモリ ") +
           spoken::bytes(texts::toSignedBytes(self->memory));
}

} // namespace trovimo

namespace trovimo::texts {

std::string selfLoadText(const SelfStats& self, const icu::Locale& locale) {
    return "CPU " + percentText(self.cpu, 1, locale) + "・" +
           formatBytes(toSignedBytes(self.memory));
}

std::string selfLoadText(const SelfStats& self) {
    return selfLoadText(self, userNumberLocale());
}

} // namespace trovimo::texts

#include "panel/SourceLine.h"

#include "panel/SectionConventions.h"

#include <algorithm>
#include <cmath>

namespace trovimo {
namespace {

constexpr double dotSize = 6.0;
constexpr double dotGap = 5.0;
constexpr double rowSpacing = 8.0;

ColorRole dotColor(SourceState state) {
    switch (state) {
    case SourceState::fresh:
        return ColorRole::green;
    case SourceState::unreachable:
        return ColorRole::red;
    case SourceState::local:
    case SourceState::connecting:
        break;
    }
    return ColorRole::gray;
}

} // namespace

QString sourceStateText(SourceState state) {
    return state == SourceState::unreachable ? QStringLiteral("接続できません") : QString();
}

SectionLayout layoutSourceLine(const StatsSnapshot& stats, const Theme& theme, double width) {
    SectionLayout out;
    const FontSpec font = sectionLabelFont();
    const double height = theme.lineHeight(font);
    const double baseline = theme.ascent(font);
    // Centred on the middle of the capitals, as a glyph in the text would sit.
    const double centre = baseline - theme.metrics(font).capHeight() / 2.0;
    out.elements.emplace_back(DotElement{QRectF(0.0, centre - dotSize / 2.0, dotSize, dotSize),
                                         dotColor(stats.sourceState)});

    const QString state = sourceStateText(stats.sourceState);
    const double stateWidth =
        state.isEmpty() ? 0.0 : std::min(width / 2.0, std::ceil(theme.textWidth(state, font)));
    const double nameLeft = dotSize + dotGap;
    const double nameRight = width - (state.isEmpty() ? 0.0 : stateWidth + rowSpacing);
    TextElement name;
    name.rect = QRectF(nameLeft, 0.0, std::max(0.0, nameRight - nameLeft), height);
    name.baseline = baseline;
    name.text = stats.sourceName;
    name.font = font;
    name.color = ColorRole::primary;
    out.elements.emplace_back(std::move(name));
    if (!state.isEmpty()) {
        TextElement words;
        words.rect = QRectF(width - stateWidth, 0.0, stateWidth, height);
        words.baseline = baseline;
        words.text = state;
        words.font = font;
        words.color = ColorRole::red;
        words.alignment = Qt::AlignRight;
        out.elements.emplace_back(std::move(words));
    }
    out.height = height;
    return out;
}

} // namespace trovimo

#include "panel/SectionParts.h"

#include "panel/CapacityBar.h"
#include "panel/SectionTexts.h"
#include "panel/ValueFormatting.h"

#include <algorithm>
#include <utility>

namespace trovimo::sections {

FontSpec largeValueFont() {
    FontSpec font;
    font.style = TextStyle::title3;
    font.weight = QFont::DemiBold;
    font.monospacedDigits = true;
    font.rounded = true;
    return font;
}

FontSpec captionDigitsFont() {
    FontSpec font;
    font.style = TextStyle::caption;
    font.monospacedDigits = true;
    return font;
}

FontSpec caption2DigitsFont() {
    FontSpec font;
    font.style = TextStyle::caption2;
    font.monospacedDigits = true;
    return font;
}

FontSpec caption2Font() {
    FontSpec font;
    font.style = TextStyle::caption2;
    return font;
}

ColorRole levelTextColor(CapacityLevel level) noexcept {
    switch (level) {
    case CapacityLevel::normal:
        return ColorRole::primary;
    case CapacityLevel::warning:
        return ColorRole::orange;
    case CapacityLevel::critical:
        return ColorRole::red;
    }
    return ColorRole::primary;
}

TextElement centredText(const Theme& theme, const QRectF& rect, QString text, const FontSpec& font,
                        ColorRole color) {
    const double lineHeight = theme.lineHeight(font);
    TextElement element;
    element.rect =
        QRectF(rect.x(), rect.y() + (rect.height() - lineHeight) / 2.0, rect.width(), lineHeight);
    element.baseline = element.rect.y() + theme.ascent(font);
    element.text = std::move(text);
    element.font = font;
    element.color = color;
    return element;
}

TextElement largeValuePlaceholder() {
    TextElement element;
    element.text = qtext(texts::placeholder);
    element.font.style = TextStyle::title3;
    element.color = ColorRole::secondary;
    return element;
}

TextElement animatedValue(QString text, const FontSpec& font, ColorRole color, const char* id,
                          std::int64_t key) {
    TextElement element;
    element.text = std::move(text);
    element.font = font;
    element.color = color;
    element.animation = AnimatedNumber{QString::fromLatin1(id), QString::number(key)};
    return element;
}

double appendRateRow(SectionLayout& out, const Theme& theme, double y, double width,
                     const RateRowLead& lead, double rate, const std::vector<double>& history) {
    constexpr double itemSpacing = 6.0;
    constexpr double arrowSize = 8.0;
    constexpr double rateBoxWidth = 70.0;
    constexpr double historyHeight = 14.0;
    const FontSpec font = captionDigitsFont();
    const double rowHeight = std::max(historyHeight, theme.lineHeight(font));
    double x = 0.0;

    const QRectF leadBox(x, y, lead.leadWidth, rowHeight);
    if (lead.arrow) {
        out.elements.emplace_back(SymbolElement{leadBox, *lead.arrow, arrowSize, lead.color});
    } else {
        out.elements.emplace_back(
            centredText(theme, leadBox, lead.label, caption2Font(), ColorRole::secondary));
    }
    x += lead.leadWidth + itemSpacing;

    // Keyed on the text itself: the roll starts exactly when what is shown changes.
    const QString text = QString::fromStdString(formatRate(rate));
    TextElement rateText =
        centredText(theme, QRectF(x, y, rateBoxWidth, rowHeight), text, font, ColorRole::primary);
    rateText.animation = AnimatedNumber{QString::fromLatin1(lead.animationId), text};
    out.elements.emplace_back(std::move(rateText));
    x += rateBoxWidth + itemSpacing;

    out.elements.emplace_back(SparklineElement{
        QRectF(x, y + (rowHeight - historyHeight) / 2.0, std::max(0.0, width - x), historyHeight),
        Sparkline{history, texts::rateScale(history), lead.color}});
    return rowHeight;
}

void appendEmptyCapacityBar(SectionLayout& out, double y, double width) {
    out.elements.emplace_back(CapacityBarElement{QRectF(0.0, y, width, CapacityBar::height),
                                                 CapacityBar{0.0, CapacityLevel::normal}});
}

} // namespace trovimo::sections

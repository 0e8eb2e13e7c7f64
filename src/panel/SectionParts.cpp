#include "panel/SectionParts.h"

#include "panel/CapacityBar.h"

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

TextElement animatedValue(QString text, const FontSpec& font, ColorRole color, const char* id,
                          std::int64_t key) {
    TextElement element;
    element.text = std::move(text);
    element.font = font;
    element.color = color;
    element.animation = AnimatedNumber{QString::fromLatin1(id), QString::number(key)};
    return element;
}

void appendEmptyCapacityBar(SectionLayout& out, double y, double width) {
    out.elements.emplace_back(CapacityBarElement{QRectF(0.0, y, width, CapacityBar::height),
                                                 CapacityBar{0.0, CapacityLevel::normal}});
}

} // namespace trovimo::sections

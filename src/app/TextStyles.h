#pragma once

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QWidget>

// The few text styles of the settings and about windows, derived from the desktop's own font
// so they follow the user's size and family choice.
namespace trovimo::textstyle {

[[nodiscard]] inline QFont scaled(double factor, QFont::Weight weight = QFont::Normal) {
    QFont font = QApplication::font();
    if (font.pointSizeF() > 0) {
        font.setPointSizeF(font.pointSizeF() * factor);
    } else if (font.pixelSize() > 0) {
        font.setPixelSize(qMax(1, qRound(font.pixelSize() * factor)));
    }
    font.setWeight(weight);
    return font;
}

// Notes and footers under controls.
[[nodiscard]] inline QFont caption() {
    return scaled(0.85);
}
// Body text a little smaller than controls.
[[nodiscard]] inline QFont callout() {
    return scaled(0.93);
}
[[nodiscard]] inline QFont title() {
    return scaled(1.3, QFont::DemiBold);
}

// Dimmed text that still follows light and dark palettes.
inline void makeSecondary(QWidget& widget) {
    widget.setForegroundRole(QPalette::PlaceholderText);
}

} // namespace trovimo::textstyle

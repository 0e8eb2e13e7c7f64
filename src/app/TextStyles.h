#pragma once

#include "panel/LineBreaking.h"
#include "panel/Theme.h"

#include <QApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QLabel>
#include <QLayout>
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
// Semibold in any locale: the face the panel's large figures use goes first, the desktop's
// face after it for what that one lacks.
[[nodiscard]] inline QFont title() {
    QFont font = scaled(1.3, QFont::DemiBold);
    if (const QString family = Theme::semiboldFamily(); !family.isEmpty()) {
        font.setFamilies({family, font.family()});
    }
    return font;
}

// Dimmed text that still follows light and dark palettes.
inline void makeSecondary(QWidget& widget) {
    widget.setForegroundRole(QPalette::PlaceholderText);
}

// Sets `text` on a word-wrapped label broken as the panel breaks its alerts (between
// phrases, never a character or two alone on the last line) for the width the label has now:
// call it once the window's layout has placed the label. Plain wrapping breaks inside words
// (前／後, ま／す). A little is kept spare, as the label's own text layout may measure a
// shade wider.
inline void setEvenlyWrappedText(QLabel& label, const QString& text) {
    // A layout inside a box places its labels only when asked to.
    if (QWidget* parent = label.parentWidget(); parent != nullptr && parent->layout() != nullptr) {
        parent->layout()->activate();
    }
    const double width = label.contentsRect().width() - 2.0;
    label.setText(withLineBreaks(text, evenLineBreaks(text, QFontMetricsF(label.font()), width)));
}

} // namespace trovimo::textstyle

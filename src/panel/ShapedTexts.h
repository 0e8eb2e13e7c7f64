#pragma once

#include "panel/Theme.h"

#include <QStaticText>
#include <QString>

#include <memory>

namespace trovimo {

// A text laid out in its font, ready to draw.
struct ShapedText {
    QString shown; // after eliding
    double width = 0.0;
    QStaticText staticText;
};

// Shaping a text costs far more than drawing it, and most of the panel's texts (labels,
// units, the date) stay the same from one refresh to the next: the shaped form of the texts
// drawn recently is kept.
class ShapedTexts {
public:
    ShapedTexts();
    ~ShapedTexts();
    ShapedTexts(ShapedTexts&&) noexcept;
    ShapedTexts& operator=(ShapedTexts&&) noexcept;

    // `text` in `spec`'s font, elided at its end to `available` (negative: not elided).
    // Returned by value: a later call may drop the entry (the parts are implicitly shared).
    [[nodiscard]] ShapedText shaped(const QString& text, const FontSpec& spec, double available,
                                    const Theme& theme);

private:
    struct Recent;
    std::unique_ptr<Recent> recent_;
};

} // namespace trovimo

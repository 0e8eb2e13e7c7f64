#pragma once

#include "panel/PanelLayout.h"

#include <QColor>
#include <QImage>
#include <QString>

namespace trovimo {

// The pictograms, drawn as vector art and rasterised on demand at the device's pixel
// density, so they stay crisp at any scale factor; tinted with the colour asked for. At 9
// device pixels (1x) most come from pixel art drawn for that size instead.
class SymbolImages {
public:
    [[nodiscard]] static QString name(Symbol symbol);
    // A `pixelSize`-square image (logical pixels) at `devicePixelRatio`; cached.
    [[nodiscard]] static QImage image(Symbol symbol, double pixelSize, const QColor& color,
                                      double devicePixelRatio);
};

} // namespace trovimo

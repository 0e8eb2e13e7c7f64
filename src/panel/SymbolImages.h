#pragma once

#include "panel/PanelLayout.h"

#include <QColor>
#include <QHash>
#include <QImage>
#include <QString>

namespace trovimo {

// The pictograms, drawn as vector art and rasterised on demand at the device's pixel
// density, so they stay crisp at any scale factor; tinted with the colour asked for. At 9
// device pixels (1x) most come from pixel art drawn for that size instead. Each tinted
// image is kept once made.
class SymbolImages {
public:
    // The symbol's resource name.
    [[nodiscard]] static QString name(Symbol symbol);
    // A `pixelSize`-square image (logical pixels) at `devicePixelRatio`.
    [[nodiscard]] QImage image(Symbol symbol, double pixelSize, const QColor& color,
                               double devicePixelRatio);

private:
    struct Key {
        Symbol symbol;
        int pixels;
        QRgb color;
        friend bool operator==(const Key&, const Key&) = default;
        friend size_t qHash(const Key& key, size_t seed = 0) noexcept {
            return qHashMulti(seed, static_cast<int>(key.symbol), key.pixels, key.color);
        }
    };
    QHash<Key, QImage> images_;
};

} // namespace trovimo

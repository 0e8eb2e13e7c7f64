#pragma once

#include <QRgb>

namespace trovimo::pixels {

// Premultiplied ARGB32 arithmetic for the layers the panel writes itself, rounded the way
// Qt's raster engine rounds it.

// Every channel of `pixel` times `alpha` / 255.
inline QRgb scaled(QRgb pixel, unsigned alpha) {
    quint32 redBlue = (pixel & 0xff00ffU) * alpha;
    redBlue = ((redBlue + ((redBlue >> 8) & 0xff00ffU) + 0x800080U) >> 8) & 0xff00ffU;
    quint32 alphaGreen = ((pixel >> 8) & 0xff00ffU) * alpha;
    alphaGreen = (alphaGreen + ((alphaGreen >> 8) & 0xff00ffU) + 0x800080U) & 0xff00ff00U;
    return alphaGreen | redBlue;
}

// `source` over `destination`.
inline QRgb over(QRgb source, QRgb destination) {
    return source + scaled(destination, 255U - qAlpha(source));
}

} // namespace trovimo::pixels

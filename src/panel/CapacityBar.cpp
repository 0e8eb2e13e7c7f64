#include "panel/CapacityBar.h"

#include "panel/CapsuleTrack.h"
#include "panel/raster/PaintCache.h"

#include <algorithm>

namespace trovimo {

double CapacityBar::fillWidth(double trackWidth) const noexcept {
    const double span = fraction > 1.0 ? trackWidth : fraction * trackWidth;
    // NaN compares false everywhere, so an unusable fraction also lands on the stub.
    return span > minimumFill ? span : minimumFill;
}

ColorRole CapacityBar::fillColor(CapacityLevel level) noexcept {
    switch (level) {
    case CapacityLevel::warning:
        return ColorRole::orange;
    case CapacityLevel::critical:
        return ColorRole::red;
    case CapacityLevel::normal:
        break;
    }
    return ColorRole::blue;
}

void CapacityBar::paint(QPainter& painter, const QRectF& rect, const Theme& theme,
                        PaintCache& cache) const {
    const double radius = rect.height() / 2.0;
    const QRectF fill(rect.left(), rect.top(), filled ? fillWidth(rect.width()) : 0.0,
                      rect.height());
    // The stub is wider than a very short track.
    ShapeLayer layer(painter, rect.united(fill), cache.shapes);
    paintCapsuleTrack(layer, rect, theme);
    if (filled) {
        layer.fillRoundedRect(fill, std::min(radius, fill.width() / 2.0), radius,
                              theme.color(fillColor(level)));
    }
}

} // namespace trovimo

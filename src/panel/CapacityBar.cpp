#include "panel/CapacityBar.h"

#include "panel/CapsuleTrack.h"

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

void CapacityBar::shapes(const QRectF& rect, const Theme& theme,
                         std::vector<RoundedShape>& out) const {
    const double radius = rect.height() / 2.0;
    // The stub is wider than a very short track.
    const QRectF fill(rect.left(), rect.top(), fillWidth(rect.width()), rect.height());
    out.push_back(capsuleTrack(rect, theme));
    if (filled) {
        out.push_back(
            {fill, std::min(radius, fill.width() / 2.0), radius, theme.color(fillColor(level))});
    }
}

void CapacityBar::paint(QPainter& painter, const QRectF& rect, const Theme& theme) const {
    std::vector<RoundedShape> all;
    shapes(rect, theme, all);
    paintRoundedShapes(painter, all);
}

} // namespace trovimo

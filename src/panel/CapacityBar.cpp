#include "panel/CapacityBar.h"

#include "panel/CapsuleTrack.h"

#include <QPainter>
#include <QPainterPath>

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

void CapacityBar::paint(QPainter& painter, const QRectF& rect, const Theme& theme) const {
    const double radius = rect.height() / 2.0;
    painter.save();
    paintCapsuleTrack(painter, rect, theme);
    painter.setBrush(theme.color(fillColor(level)));
    const QRectF fill(rect.left(), rect.top(), fillWidth(rect.width()), rect.height());
    painter.drawRoundedRect(fill, std::min(radius, fill.width() / 2.0), radius);
    painter.restore();
}

} // namespace trovimo

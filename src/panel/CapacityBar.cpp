#include "panel/CapacityBar.h"

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
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(theme.color(ColorRole::quaternary));
    painter.setOpacity(0.5);
    painter.drawRoundedRect(rect, radius, radius);
    painter.setOpacity(1.0);
    painter.setBrush(theme.color(fillColor(level)));
    const QRectF fill(rect.left(), rect.top(), fillWidth(rect.width()), rect.height());
    painter.drawRoundedRect(fill, std::min(radius, fill.width() / 2.0), radius);
    painter.restore();
}

} // namespace trovimo

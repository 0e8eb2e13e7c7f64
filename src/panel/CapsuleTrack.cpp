#include "panel/CapsuleTrack.h"

#include "panel/Theme.h"

#include <QPainter>

namespace trovimo {

void paintCapsuleTrack(QPainter& painter, const QRectF& rect, const Theme& theme) {
    const double radius = rect.height() / 2.0;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(theme.color(ColorRole::quaternary));
    painter.setOpacity(0.5);
    painter.drawRoundedRect(rect, radius, radius);
    painter.setOpacity(1.0);
}

} // namespace trovimo

#include "panel/RoundedShape.h"

#include <QPainter>

#include <algorithm>

namespace trovimo {

void paintRoundedShapes(QPainter& painter, std::span<const RoundedShape> shapes) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const double opacity = painter.opacity();
    for (const RoundedShape& shape : shapes) {
        painter.setBrush(shape.color);
        painter.setOpacity(opacity * (shape.opacity > 0.0 ? std::min(shape.opacity, 1.0) : 0.0));
        painter.drawRoundedRect(shape.rect.normalized(), shape.xRadius, shape.yRadius);
    }
    painter.restore();
}

} // namespace trovimo

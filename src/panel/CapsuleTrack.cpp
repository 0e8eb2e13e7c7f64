#include "panel/CapsuleTrack.h"

#include "panel/ShapeLayer.h"
#include "panel/Theme.h"

#include <QPainter>

namespace trovimo {
namespace {

constexpr double trackOpacity = 0.5;

} // namespace

void paintCapsuleTrack(QPainter& painter, const QRectF& rect, const Theme& theme) {
    const double radius = rect.height() / 2.0;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(theme.color(ColorRole::quaternary));
    painter.setOpacity(trackOpacity);
    painter.drawRoundedRect(rect, radius, radius);
    painter.setOpacity(1.0);
}

void paintCapsuleTrack(ShapeLayer& layer, const QRectF& rect, const Theme& theme) {
    const double radius = rect.height() / 2.0;
    layer.fillRoundedRect(rect, radius, radius, theme.color(ColorRole::quaternary), trackOpacity);
}

} // namespace trovimo

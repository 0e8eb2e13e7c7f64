#include "panel/CapsuleTrack.h"

#include "panel/Theme.h"
#include "panel/raster/ShapeLayer.h"

namespace trovimo {
namespace {

constexpr double trackOpacity = 0.5;

} // namespace

void paintCapsuleTrack(ShapeLayer& layer, const QRectF& rect, const Theme& theme) {
    const double radius = rect.height() / 2.0;
    layer.fillRoundedRect(rect, radius, radius, theme.color(ColorRole::quaternary), trackOpacity);
}

} // namespace trovimo

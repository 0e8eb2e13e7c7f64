#pragma once

#include <QRectF>

namespace trovimo {

class ShapeLayer;
class Theme;

// The empty track behind the capacity and segmented bars: a capsule in the quaternary
// colour at half opacity, into the layer under the fills drawn after it.
void paintCapsuleTrack(ShapeLayer& layer, const QRectF& rect, const Theme& theme);

} // namespace trovimo

#pragma once

#include <QRectF>

class QPainter;

namespace trovimo {

class ShapeLayer;
class Theme;

// The empty track behind the capacity and segmented bars: a capsule in the quaternary
// colour at half opacity. Leaves the painter antialiased, pen-less and fully opaque, ready
// for the fill; the caller saves and restores it.
void paintCapsuleTrack(QPainter& painter, const QRectF& rect, const Theme& theme);
// The same track into a layer, under the fills drawn after it.
void paintCapsuleTrack(ShapeLayer& layer, const QRectF& rect, const Theme& theme);

} // namespace trovimo

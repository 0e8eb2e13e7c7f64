#include "panel/SegmentedBar.h"

#include "panel/CapsuleTrack.h"
#include "panel/raster/PaintCache.h"

#include <algorithm>

namespace trovimo {

std::vector<SegmentedBar::PlacedSegment> SegmentedBar::layout(double trackWidth) const {
    std::vector<PlacedSegment> placed;
    placed.reserve(segments.size());
    double x = 0.0;
    for (const Segment& segment : segments) {
        if (!(segment.fraction > visibleThreshold)) {
            continue;
        }
        const double width = std::max(2.0, std::min(segment.fraction, 1.0) * trackWidth - gap);
        placed.push_back({QRectF(x, 0.0, width, height), segment.color});
        x += width + gap;
    }
    return placed;
}

void SegmentedBar::paint(QPainter& painter, const QRectF& rect, const Theme& theme,
                         PaintCache& cache) const {
    const double radius = rect.height() / 2.0;
    const std::vector<PlacedSegment> placed = layout(rect.width());
    // Shares adding up to more than the track run on past its end.
    QRectF area = rect;
    for (const PlacedSegment& segment : placed) {
        area = area.united(segment.rect.translated(rect.topLeft()));
    }
    ShapeLayer layer(painter, area, cache.shapes);
    paintCapsuleTrack(layer, rect, theme);
    for (const PlacedSegment& segment : placed) {
        const QRectF shape = segment.rect.translated(rect.topLeft());
        layer.fillRoundedRect(shape, std::min(radius, shape.width() / 2.0), radius,
                              theme.color(segment.color));
    }
}

} // namespace trovimo

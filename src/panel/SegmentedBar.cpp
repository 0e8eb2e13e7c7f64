#include "panel/SegmentedBar.h"

#include "panel/CapsuleTrack.h"

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

void SegmentedBar::shapes(const QRectF& rect, const Theme& theme,
                          std::vector<RoundedShape>& out) const {
    const double radius = rect.height() / 2.0;
    out.push_back(capsuleTrack(rect, theme));
    // Shares adding up to more than the track run on past its end.
    for (const PlacedSegment& segment : layout(rect.width())) {
        const QRectF shape = segment.rect.translated(rect.topLeft());
        out.push_back(
            {shape, std::min(radius, shape.width() / 2.0), radius, theme.color(segment.color)});
    }
}

void SegmentedBar::paint(QPainter& painter, const QRectF& rect, const Theme& theme) const {
    std::vector<RoundedShape> all;
    shapes(rect, theme, all);
    paintRoundedShapes(painter, all);
}

} // namespace trovimo

#pragma once

#include "panel/RoundedShape.h"
#include "panel/Theme.h"

#include <QRectF>

#include <vector>

class QPainter;

namespace trovimo {

// Several coloured shares side by side in one capsule track, left to right. Shares are not
// rescaled to fit; each one's width depends on its own fraction alone.
struct SegmentedBar {
    static constexpr double height = 6.0;
    static constexpr double gap = 2.0;
    // Shares at or below this are dropped entirely: no width, no gap.
    static constexpr double visibleThreshold = 0.005;

    struct Segment {
        double fraction = 0.0;
        ColorRole color = ColorRole::blue;
        friend bool operator==(const Segment&, const Segment&) = default;
    };
    struct PlacedSegment {
        QRectF rect;
        ColorRole color;
    };

    std::vector<Segment> segments;

    // The visible segments' rectangles in a track of `trackWidth`, origin at the track's
    // top-left corner.
    [[nodiscard]] std::vector<PlacedSegment> layout(double trackWidth) const;
    // The track and the visible segments in `rect`, back to front, appended to `out`.
    void shapes(const QRectF& rect, const Theme& theme, std::vector<RoundedShape>& out) const;
    void paint(QPainter& painter, const QRectF& rect, const Theme& theme) const;

    friend bool operator==(const SegmentedBar&, const SegmentedBar&) = default;
};

} // namespace trovimo

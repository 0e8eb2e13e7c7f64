#pragma once

#include "panel/Theme.h"

#include <QPointF>
#include <QPolygonF>
#include <QRectF>

#include <vector>

class QPainter;

namespace trovimo {

// A history drawn as a filled line graph over a faint background with a dashed mid-line.
struct Sparkline {
    static constexpr double cornerRadius = 3.0;
    static constexpr double lineWidth = 1.5;
    // The area under the line: the series colour at these opacities on the frame's top and
    // bottom edges, in a vertical gradient.
    static constexpr double areaTopOpacity = 0.3;
    static constexpr double areaBottomOpacity = 0.02;

    std::vector<double> values; // oldest first
    double maxValue = 1.0;      // the value drawn at the top edge
    ColorRole color = ColorRole::blue;

    // One point per value in a `size` frame (origin top-left, y down); none when there are
    // fewer than two values or `maxValue` is not positive.
    [[nodiscard]] std::vector<QPointF> points(const QSizeF& size) const;
    // The area under the line, closed along the bottom edge; empty without points.
    [[nodiscard]] QPolygonF area(const QSizeF& size) const;
    // The line as an outline to fill (winding rule), `lineWidth` thick with mitred joins;
    // empty without points or where two points coincide.
    [[nodiscard]] QPolygonF outline(const QSizeF& size) const;
    // The track, the area and the line in `rect`, cut to the rounded frame.
    void paint(QPainter& painter, const QRectF& rect, const Theme& theme) const;
    // The faint rounded track with its dashed mid-line in `frame` (at the origin).
    static void paintTrack(QPainter& painter, const QRectF& frame, const Theme& theme);

    // The polyline `line` as a filled outline reaching `halfWidth` to each side, each vertex
    // pushed out along its mitre, very sharp turns capped like a stroker's mitre limit;
    // empty for fewer than two points or where two coincide.
    [[nodiscard]] static QPolygonF ribbon(const std::vector<QPointF>& line, double halfWidth);

    friend bool operator==(const Sparkline&, const Sparkline&) = default;
};

} // namespace trovimo

#pragma once

#include <QImage>
#include <QRect>
#include <QRgb>
#include <QSizeF>

#include <vector>

class QColor;
class QPainter;

namespace trovimo {

class Theme;
struct Sparkline;

// What stays the same from one refresh to the next for one size, palette and series colour:
// the track with its mid-line, the track with the area's gradient over all of it (what any
// pixel under the line becomes), and the rounded shape that cuts the series at the corners.
struct SparklineTrack {
    QSizeF size;
    QSize pixels;
    double ratio = 0.0;
    QRgb track = 0;
    QRgb series = 0;
    QImage base;
    QImage area;
    // The rounded shape's coverage where it is not opaque: the four corner squares (or the
    // whole frame when it is too small for four), row by row.
    std::vector<QRect> cutSquares;
    std::vector<uchar> cutCoverage;
};

// The track for a graph `size` points large, `pixels` at `ratio`, in `theme` with the series
// in `series`: from `kept`, or made and kept there (one entry per graph: a panel has four).
const SparklineTrack& sparklineTrack(std::vector<SparklineTrack>& kept, const QSize& pixels,
                                     double ratio, const QSizeF& size, const Theme& theme,
                                     const QColor& series);

} // namespace trovimo

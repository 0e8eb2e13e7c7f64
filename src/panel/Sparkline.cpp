#include "panel/Sparkline.h"

#include "panel/raster/PaintCache.h"
#include "panel/raster/SparklineRaster.h"

#include <algorithm>
#include <cmath>

namespace trovimo {
namespace {

// How far a sharp turn's mitre may reach, in half line widths.
constexpr double miterCap = 4.0;

} // namespace

// Qt's stroker with round joins costs several times the fill of the same outline; at 1.5
// points the two cannot be told apart.
QPolygonF Sparkline::ribbon(const std::vector<QPointF>& line, double halfWidth) {
    if (line.size() < 2) {
        return {};
    }
    const std::size_t count = line.size();
    std::vector<QPointF> normals(count - 1);
    for (std::size_t i = 0; i + 1 < count; ++i) {
        const QPointF d = line[i + 1] - line[i];
        double length = std::sqrt(QPointF::dotProduct(d, d));
        if (!std::isfinite(length)) {
            length = std::hypot(d.x(), d.y()); // squares beyond the range of a double
        }
        if (!(length > 1e-9)) {
            return {};
        }
        normals[i] = QPointF(-d.y() / length, d.x() / length);
    }
    std::vector<QPointF> offsets(count);
    offsets.front() = normals.front() * halfWidth;
    offsets.back() = normals.back() * halfWidth;
    for (std::size_t i = 1; i + 1 < count; ++i) {
        const QPointF sum = normals[i - 1] + normals[i];
        const double sumLength = std::sqrt(QPointF::dotProduct(sum, sum)); // at most 2
        if (sumLength < 1e-9) {
            offsets[i] = normals[i] * halfWidth;
            continue;
        }
        const QPointF miter = sum / sumLength;
        const double cosine = QPointF::dotProduct(miter, normals[i]);
        const double length = std::min(halfWidth / std::max(cosine, 1e-9), halfWidth * miterCap);
        offsets[i] = miter * length;
    }
    QPolygonF outline(static_cast<qsizetype>(2 * count));
    QPointF* const out = outline.data();
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = line[i] + offsets[i];
        out[2 * count - 1 - i] = line[i] - offsets[i];
    }
    return outline;
}

std::vector<QPointF> Sparkline::points(const QSizeF& size) const {
    std::vector<QPointF> result;
    const std::size_t count = values.size();
    if (count < 2 || !(maxValue > 0.0)) {
        return result;
    }
    const double width = size.width();
    const double height = size.height();
    const auto last = static_cast<double>(count - 1);
    result.reserve(count);
    for (std::size_t index = 0; index < count; ++index) {
        const double ratio = values[index] / maxValue;
        // At or below zero (and NaN) on the bottom edge; maxValue and above on the top edge.
        const double y = ratio > 0.0 ? height * (1.0 - std::min(ratio, 1.0)) : height;
        result.emplace_back(static_cast<double>(index) * width / last, y);
    }
    return result;
}

QPolygonF Sparkline::area(const QSizeF& size) const {
    const std::vector<QPointF> line = points(size);
    QPolygonF polygon;
    if (line.empty()) {
        return polygon;
    }
    polygon.reserve(static_cast<qsizetype>(line.size()) + 2);
    polygon << QPointF(line.front().x(), size.height());
    for (const QPointF& point : line) {
        polygon << point;
    }
    polygon << QPointF(line.back().x(), size.height());
    return polygon;
}

QPolygonF Sparkline::outline(const QSizeF& size) const {
    const std::vector<QPointF> line = points(size);
    return line.empty() ? QPolygonF() : ribbon(line, lineWidth / 2.0);
}

void Sparkline::paint(QPainter& painter, const QRectF& rect, const Theme& theme,
                      PaintCache& cache) const {
    paintSparkline(painter, *this, rect, theme, cache.sparklines);
}

} // namespace trovimo

#include "panel/Sparkline.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace trovimo {
namespace {

// How far a sharp turn's mitre may reach, in half line widths.
constexpr double miterCap = 4.0;

// The area under the line and the line itself, in frame coordinates.
void paintSeries(QPainter& painter, const Sparkline& sparkline, const QSizeF& size,
                 const Theme& theme) {
    const std::vector<QPointF> line = sparkline.points(size);
    if (line.size() < 2) {
        return;
    }
    const QColor series = theme.color(sparkline.color);
    QLinearGradient gradient(QPointF(0.0, 0.0), QPointF(0.0, size.height()));
    QColor top = series;
    top.setAlphaF(static_cast<float>(series.alphaF() * Sparkline::areaTopOpacity));
    QColor bottom = series;
    bottom.setAlphaF(static_cast<float>(series.alphaF() * Sparkline::areaBottomOpacity));
    gradient.setColorAt(0.0, top);
    gradient.setColorAt(1.0, bottom);
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    // The area's only slanted edge lies under the opaque line drawn next, so it needs no
    // antialiasing of its own, which is most of the cost of filling it.
    const bool antialiased = painter.testRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.drawPolygon(sparkline.area(size));
    painter.setRenderHint(QPainter::Antialiasing, antialiased);

    const QPolygonF outline = Sparkline::ribbon(line, Sparkline::lineWidth / 2.0);
    if (!outline.isEmpty()) {
        painter.setBrush(series);
        painter.drawPolygon(outline, Qt::WindingFill);
    } else {
        QPen stroke(series, Sparkline::lineWidth, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin);
        stroke.setMiterLimit(10.0);
        painter.setPen(stroke);
        painter.setBrush(Qt::NoBrush);
        painter.drawPolyline(line.data(), static_cast<int>(line.size()));
    }
}

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

void Sparkline::paintTrack(QPainter& painter, const QRectF& frame, const Theme& theme) {
    const QColor track = theme.color(ColorRole::quaternary);
    painter.setPen(Qt::NoPen);
    painter.setBrush(track);
    painter.setOpacity(0.3);
    painter.drawRoundedRect(frame, cornerRadius, cornerRadius);
    painter.setOpacity(1.0);

    // A point wide, on whole device rows (the frame starts on one): a line across two rows
    // would show as two at half strength (a 14-point graph's middle at 1x is a pixel edge).
    const double ratio = painter.deviceTransform().m22();
    const double rows = std::max(1.0, std::round(ratio));
    const double top = std::round(frame.height() / 2.0 * ratio - rows / 2.0);
    const double width = rows / ratio;
    QPen dashed(track, width, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
    dashed.setMiterLimit(10.0);
    // Qt measures dash lengths in pen widths: 2 points on, 3 off.
    dashed.setDashPattern({2.0 / width, 3.0 / width});
    dashed.setDashOffset(0.0);
    painter.setPen(dashed);
    painter.setBrush(Qt::NoBrush);
    const double middle = (top + rows / 2.0) / ratio;
    painter.drawLine(QPointF(0.0, middle), QPointF(frame.width(), middle));
}

void Sparkline::paint(QPainter& painter, const QRectF& rect, const Theme& theme) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // The frame starts on a whole device pixel: the dashed mid-line stays crisp.
    const QTransform& device = painter.deviceTransform();
    const QPointF corner = device.map(rect.topLeft());
    painter.translate(
        device.inverted().map(QPointF(std::round(corner.x()), std::round(corner.y()))));
    const QRectF frame(QPointF(0, 0), rect.size());
    QPainterPath clip;
    clip.addRoundedRect(frame, cornerRadius, cornerRadius);
    painter.setClipPath(clip, Qt::IntersectClip);
    paintTrack(painter, frame, theme);
    paintSeries(painter, *this, frame.size(), theme);
    painter.restore();
}

} // namespace trovimo

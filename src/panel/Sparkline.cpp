#include "panel/Sparkline.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace trovimo {
namespace {

// The polyline as a filled outline, each vertex pushed out along its mitre. Qt's stroker
// with round joins costs several times the fill of the same outline; at 1.5 points the two
// cannot be told apart. Very sharp turns get their mitre capped like a stroker's limit.
QPolygonF ribbon(const std::vector<QPointF>& line, double halfWidth, double miterLimit) {
    const std::size_t count = line.size();
    std::vector<QPointF> normals(count - 1);
    for (std::size_t i = 0; i + 1 < count; ++i) {
        const QPointF d = line[i + 1] - line[i];
        const double length = std::hypot(d.x(), d.y());
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
        const double sumLength = std::hypot(sum.x(), sum.y());
        if (sumLength < 1e-9) {
            offsets[i] = normals[i] * halfWidth;
            continue;
        }
        const QPointF miter = sum / sumLength;
        const double cosine = QPointF::dotProduct(miter, normals[i]);
        const double length = std::min(halfWidth / std::max(cosine, 1e-9), halfWidth * miterLimit);
        offsets[i] = miter * length;
    }
    QPolygonF outline;
    outline.reserve(static_cast<qsizetype>(2 * count));
    for (std::size_t i = 0; i < count; ++i) {
        outline << line[i] + offsets[i];
    }
    for (std::size_t i = count; i-- > 0;) {
        outline << line[i] - offsets[i];
    }
    return outline;
}

} // namespace

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

void Sparkline::paint(QPainter& painter, const QRectF& rect, const Theme& theme) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(rect.topLeft());
    const QRectF frame(QPointF(0, 0), rect.size());
    QPainterPath clip;
    clip.addRoundedRect(frame, cornerRadius, cornerRadius);
    painter.setClipPath(clip, Qt::IntersectClip);

    const QColor track = theme.color(ColorRole::quaternary);
    painter.setPen(Qt::NoPen);
    painter.setBrush(track);
    painter.setOpacity(0.3);
    painter.drawRoundedRect(frame, cornerRadius, cornerRadius);
    painter.setOpacity(1.0);

    QPen dashed(track, 1.0, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
    dashed.setMiterLimit(10.0);
    // Qt measures dash lengths in pen widths; the width is 1, so these are points.
    dashed.setDashPattern({2.0, 3.0});
    dashed.setDashOffset(0.0);
    painter.setPen(dashed);
    painter.setBrush(Qt::NoBrush);
    const double middle = frame.height() / 2.0;
    painter.drawLine(QPointF(0.0, middle), QPointF(frame.width(), middle));

    const std::vector<QPointF> line = points(frame.size());
    if (line.size() >= 2) {
        const QColor series = theme.color(color);
        QLinearGradient gradient(QPointF(0.0, 0.0), QPointF(0.0, frame.height()));
        QColor top = series;
        top.setAlphaF(series.alphaF() * 0.3f);
        QColor bottom = series;
        bottom.setAlphaF(series.alphaF() * 0.02f);
        gradient.setColorAt(0.0, top);
        gradient.setColorAt(1.0, bottom);
        painter.setPen(Qt::NoPen);
        painter.setBrush(gradient);
        painter.drawPolygon(area(frame.size()));

        const QPolygonF outline = ribbon(line, lineWidth / 2.0, 4.0);
        if (!outline.isEmpty()) {
            painter.setBrush(series);
            painter.drawPolygon(outline, Qt::WindingFill);
        } else {
            QPen stroke(series, lineWidth, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin);
            stroke.setMiterLimit(10.0);
            painter.setPen(stroke);
            painter.setBrush(Qt::NoBrush);
            painter.drawPolyline(line.data(), static_cast<int>(line.size()));
        }
    }
    painter.restore();
}

} // namespace trovimo

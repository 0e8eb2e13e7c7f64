#include "panel/raster/SparklineTrack.h"

#include "panel/Sparkline.h"
#include "panel/raster/PixelMath.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace trovimo {
namespace {

// The faint rounded track with its dashed mid-line, in frame coordinates.
void paintTrack(QPainter& painter, const QRectF& frame, const Theme& theme) {
    const QColor track = theme.color(ColorRole::quaternary);
    painter.setPen(Qt::NoPen);
    painter.setBrush(track);
    painter.setOpacity(0.3);
    painter.drawRoundedRect(frame, Sparkline::cornerRadius, Sparkline::cornerRadius);
    painter.setOpacity(1.0);

    // A point wide, on whole device rows: a line across two rows would show as two at half
    // strength (a 14-point graph's middle at 1x is a pixel edge).
    const double ratio = (painter.device() ? painter.device()->devicePixelRatioF() : 1.0) *
                         painter.worldTransform().m22();
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
    top.setAlphaF(series.alphaF() * 0.3f);
    QColor bottom = series;
    bottom.setAlphaF(series.alphaF() * 0.02f);
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

// The squares that hold the rounded corners, in device pixels.
std::vector<QRect> cornerSquares(const QSize& pixels, double ratio) {
    const int corner = static_cast<int>(std::ceil((Sparkline::cornerRadius + 1.0) * ratio));
    if (2 * corner >= pixels.width() || 2 * corner >= pixels.height()) {
        return {QRect(QPoint(0, 0), pixels)};
    }
    const int right = pixels.width() - corner;
    const int bottom = pixels.height() - corner;
    std::vector<QRect> squares;
    for (const QPoint& origin :
         {QPoint(0, 0), QPoint(right, 0), QPoint(0, bottom), QPoint(right, bottom)}) {
        squares.emplace_back(origin, QSize(corner, corner));
    }
    return squares;
}

} // namespace

void paintSparklineClipped(QPainter& painter, const Sparkline& sparkline, const QRectF& rect,
                           const Theme& theme) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(rect.topLeft());
    const QRectF frame(QPointF(0, 0), rect.size());
    QPainterPath clip;
    clip.addRoundedRect(frame, Sparkline::cornerRadius, Sparkline::cornerRadius);
    painter.setClipPath(clip, Qt::IntersectClip);
    paintTrack(painter, frame, theme);
    paintSeries(painter, sparkline, frame.size(), theme);
    painter.restore();
}

const SparklineTrack& sparklineTrack(std::vector<SparklineTrack>& kept, const QSize& pixels,
                                     double ratio, const QSizeF& size, const Theme& theme,
                                     const QColor& series) {
    const QRgb track = theme.color(ColorRole::quaternary).rgba();
    for (const SparklineTrack& entry : kept) {
        if (entry.size == size && entry.pixels == pixels && entry.ratio == ratio &&
            entry.track == track && entry.series == series.rgba()) {
            return entry;
        }
    }
    if (kept.size() >= 8) {
        kept.clear();
    }
    const QRectF frame(QPointF(0, 0), size);
    SparklineTrack entry{size,
                         pixels,
                         ratio,
                         track,
                         series.rgba(),
                         QImage(pixels, QImage::Format_ARGB32_Premultiplied),
                         {},
                         {},
                         {}};
    entry.base.setDevicePixelRatio(ratio);
    entry.base.fill(Qt::transparent);
    QPainter base(&entry.base);
    base.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(frame, Sparkline::cornerRadius, Sparkline::cornerRadius);
    base.setClipPath(clip);
    paintTrack(base, frame, theme);
    base.end();

    // The gradient runs from the series colour at 0.3 of its opacity on the top edge to
    // 0.02 on the bottom edge, sampled at each row's centre like Qt's linear gradients.
    entry.area = entry.base.copy();
    const double height = size.height() * ratio;
    for (int row = 0; row < pixels.height(); ++row) {
        const double t = std::clamp((row + 0.5) / height, 0.0, 1.0);
        const double opacity = series.alphaF() * (0.3 + (0.02 - 0.3) * t);
        const QRgb shade = qPremultiply(
            qRgba(series.red(), series.green(), series.blue(), qRound(opacity * 255.0)));
        auto* line = reinterpret_cast<QRgb*>(entry.area.scanLine(row));
        for (int column = 0; column < pixels.width(); ++column) {
            line[column] = pixels::over(shade, line[column]);
        }
    }

    // Only the corners of the rounded shape are kept: a frame-sized mask would be mostly
    // opaque pixels.
    QImage shape(pixels, QImage::Format_ARGB32_Premultiplied);
    shape.setDevicePixelRatio(ratio);
    shape.fill(Qt::transparent);
    QPainter mask(&shape);
    mask.setRenderHint(QPainter::Antialiasing);
    mask.setPen(Qt::NoPen);
    mask.setBrush(Qt::black);
    mask.drawRoundedRect(frame, Sparkline::cornerRadius, Sparkline::cornerRadius);
    mask.end();
    entry.cutSquares = cornerSquares(pixels, ratio);
    for (const QRect& square : entry.cutSquares) {
        for (int row = square.top(); row <= square.bottom(); ++row) {
            const auto* line = reinterpret_cast<const QRgb*>(shape.constScanLine(row));
            for (int column = square.left(); column <= square.right(); ++column) {
                entry.cutCoverage.push_back(static_cast<uchar>(qAlpha(line[column])));
            }
        }
    }
    kept.push_back(std::move(entry));
    return kept.back();
}

} // namespace trovimo

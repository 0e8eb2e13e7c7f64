#include "panel/raster/SparklineTrack.h"

#include "panel/Sparkline.h"
#include "panel/raster/PixelMath.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace trovimo {
namespace {

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
    Sparkline::paintTrack(base, frame, theme);
    base.end();

    // The area's gradient, sampled at each row's centre like Qt's linear gradients.
    entry.area = entry.base.copy();
    const double height = size.height() * ratio;
    constexpr double top = Sparkline::areaTopOpacity;
    constexpr double bottom = Sparkline::areaBottomOpacity;
    for (int row = 0; row < pixels.height(); ++row) {
        const double t = std::clamp((row + 0.5) / height, 0.0, 1.0);
        const double opacity = series.alphaF() * (top + (bottom - top) * t);
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

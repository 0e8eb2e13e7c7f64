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

namespace {

// The faint rounded track with its dashed mid-line, in frame coordinates.
void paintTrack(QPainter& painter, const QRectF& frame, const Theme& theme) {
    const QColor track = theme.color(ColorRole::quaternary);
    painter.setPen(Qt::NoPen);
    painter.setBrush(track);
    painter.setOpacity(0.3);
    painter.drawRoundedRect(frame, Sparkline::cornerRadius, Sparkline::cornerRadius);
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

    const QPolygonF outline = ribbon(line, Sparkline::lineWidth / 2.0, 4.0);
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

// The graph with its rounded corners cut by an antialiased clip path, straight onto the
// painter: slow (Qt fills through a clip mask), for sizes the layer below does not take.
void paintClipped(QPainter& painter, const Sparkline& sparkline, const QRectF& rect,
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

// What stays the same from one refresh to the next for one size and palette: the track
// with its mid-line, and the rounded shape that cuts the series at the corners.
struct TrackImages {
    QSize pixels;
    double ratio = 0.0;
    QRgb track = 0;
    QImage base;
    QImage mask;
};

const TrackImages& trackImages(const QSize& pixels, double ratio, const QSizeF& size,
                               const Theme& theme) {
    // One entry per graph size: a panel has two or three.
    static std::vector<TrackImages> cache;
    const QRgb track = theme.color(ColorRole::quaternary).rgba();
    for (const TrackImages& entry : cache) {
        if (entry.pixels == pixels && entry.ratio == ratio && entry.track == track) {
            return entry;
        }
    }
    if (cache.size() >= 8) {
        cache.clear();
    }
    const QRectF frame(QPointF(0, 0), size);
    TrackImages entry{pixels, ratio, track, QImage(pixels, QImage::Format_ARGB32_Premultiplied),
                      QImage(pixels, QImage::Format_ARGB32_Premultiplied)};
    for (QImage* image : {&entry.base, &entry.mask}) {
        image->setDevicePixelRatio(ratio);
        image->fill(Qt::transparent);
    }
    QPainter base(&entry.base);
    base.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(frame, Sparkline::cornerRadius, Sparkline::cornerRadius);
    base.setClipPath(clip);
    paintTrack(base, frame, theme);
    base.end();
    QPainter mask(&entry.mask);
    mask.setRenderHint(QPainter::Antialiasing);
    mask.setPen(Qt::NoPen);
    mask.setBrush(Qt::black);
    mask.drawRoundedRect(frame, Sparkline::cornerRadius, Sparkline::cornerRadius);
    mask.end();
    cache.push_back(std::move(entry));
    return cache.back();
}

} // namespace

void Sparkline::paint(QPainter& painter, const QRectF& rect, const Theme& theme) const {
    const double ratio = (painter.device() ? painter.device()->devicePixelRatioF() : 1.0) *
                         painter.worldTransform().m22();
    const QSize pixels(static_cast<int>(std::ceil(rect.width() * ratio)),
                       static_cast<int>(std::ceil(rect.height() * ratio)));
    // Anything but a plain scale (a rotation, a shear) or an outlandish size goes the
    // direct way.
    const bool layered = painter.worldTransform().isAffine() &&
                         painter.worldTransform().m12() == 0.0 &&
                         painter.worldTransform().m21() == 0.0 &&
                         painter.worldTransform().m11() == painter.worldTransform().m22() &&
                         ratio > 0.0 && pixels.width() > 0 && pixels.height() > 0 &&
                         pixels.width() <= 4096 && pixels.height() <= 4096;
    if (!layered) {
        paintClipped(painter, *this, rect, theme);
        return;
    }
    // Filling through a rounded clip path makes Qt build and apply a coverage mask for every
    // fill. Instead the series is drawn unclipped into a small layer over a copy of the
    // cached track, the corners are cut with one pass of the cached mask, and the layer is
    // copied in once.
    const TrackImages& cached = trackImages(pixels, ratio, rect.size(), theme);
    static QImage layer;
    if (layer.size() != pixels) {
        layer = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    }
    layer.setDevicePixelRatio(ratio);
    QPainter series(&layer);
    series.setCompositionMode(QPainter::CompositionMode_Source);
    series.drawImage(QPointF(0, 0), cached.base);
    series.setCompositionMode(QPainter::CompositionMode_SourceOver);
    series.setRenderHint(QPainter::Antialiasing);
    paintSeries(series, *this, rect.size(), theme);
    series.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    // The mask is opaque but for the four rounded corners: cutting only those squares gives
    // the same pixels as a pass over the whole layer.
    const int corner = static_cast<int>(std::ceil((Sparkline::cornerRadius + 1.0) * ratio));
    if (2 * corner < pixels.width() && 2 * corner < pixels.height()) {
        const int right = pixels.width() - corner;
        const int bottom = pixels.height() - corner;
        for (const QPoint& origin :
             {QPoint(0, 0), QPoint(right, 0), QPoint(0, bottom), QPoint(right, bottom)}) {
            const QRect source(origin, QSize(corner, corner));
            series.drawImage(QRectF(QPointF(source.topLeft()) / ratio,
                                    QSizeF(source.size()) / ratio),
                             cached.mask, source);
        }
    } else {
        series.drawImage(QPointF(0, 0), cached.mask);
    }
    series.end();
    painter.drawImage(rect.topLeft(), layer);
}

} // namespace trovimo

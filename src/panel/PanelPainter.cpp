#include "panel/PanelPainter.h"

#include "panel/LineBreaking.h"
#include "panel/PaintCache.h"

#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QTextOption>

#include <algorithm>
#include <cmath>

namespace trovimo::panelPainter {
namespace {

struct PlacedLine {
    ShapedText text; // after eliding (implicitly shared: cheap to copy)
    double scale;    // the shrink applied
    double left;     // x of the text's origin
    double width;    // drawn width, scale applied
};

PlacedLine placeLine(const TextElement& element, const QString& source, const Theme& theme,
                     ShapedTexts& texts) {
    const double available = element.rect.width();
    ShapedText line = texts.shaped(source, element.font, -1.0, theme);
    double scale = 1.0;
    if (line.width > available && element.minimumScale < 1.0 && line.width > 0.0) {
        scale = std::max(element.minimumScale, available / line.width);
    }
    if (line.width * scale > available + 0.01) {
        line = texts.shaped(source, element.font, available / scale, theme);
    }
    const double drawn = line.width * scale;
    double left = element.rect.left();
    if (element.alignment & Qt::AlignRight) {
        left = element.rect.right() - drawn;
    } else if (element.alignment & Qt::AlignHCenter) {
        left = element.rect.left() + (available - drawn) / 2.0;
    }
    return {std::move(line), scale, left, drawn};
}

// Draws `text` with its origin at (left, baseline), shrunk by `scale`.
void drawLine(QPainter& painter, const TextElement& element, const ShapedText& text, double left,
              double baseline, double scale, const Theme& theme) {
    // A static text is positioned by its top-left corner, not its baseline.
    if (scale == 1.0) {
        // Most texts: no transform to set up and take down again.
        painter.drawStaticText(QPointF(left, baseline - theme.ascent(element.font)),
                               text.staticText);
        return;
    }
    painter.save();
    painter.translate(left, baseline);
    painter.scale(scale, scale);
    painter.drawStaticText(QPointF(0, -theme.ascent(element.font)), text.staticText);
    painter.restore();
}

void drawLine(QPainter& painter, const TextElement& element, const QString& text, double left,
              double baseline, double scale, const Theme& theme, ShapedTexts& texts) {
    drawLine(painter, element, texts.shaped(text, element.font, -1.0, theme), left, baseline, scale,
             theme);
}

// Digits that changed slide up and out while the new ones slide in from below; the rest
// of the text stays put.
void drawRolling(QPainter& painter, const TextElement& element, const PlacedLine& line,
                 const QString& from, double progress, const Theme& theme, ShapedTexts& texts) {
    const QFontMetricsF& metrics = theme.metrics(element.font);
    const double travel = metrics.ascent() * 0.7 * line.scale;
    const QString& to = line.text.shown;
    painter.save();
    painter.setClipRect(element.rect.adjusted(0, -2, 0, 2), Qt::IntersectClip);
    if (from.size() != to.size()) {
        // No digit-by-digit pairing: the whole text rolls.
        const PlacedLine old = placeLine(element, from, theme, texts);
        painter.setOpacity(1.0 - progress);
        drawLine(painter, element, old.text, old.left, element.baseline - travel * progress,
                 old.scale, theme);
        painter.setOpacity(progress);
        drawLine(painter, element, line.text, line.left,
                 element.baseline + travel * (1.0 - progress), line.scale, theme);
        painter.restore();
        return;
    }
    for (qsizetype index = 0; index < to.size(); ++index) {
        const double x = line.left + metrics.horizontalAdvance(to.left(index)) * line.scale;
        if (from.at(index) == to.at(index)) {
            painter.setOpacity(1.0);
            drawLine(painter, element, QString(to.at(index)), x, element.baseline, line.scale,
                     theme, texts);
            continue;
        }
        painter.setOpacity(1.0 - progress);
        drawLine(painter, element, QString(from.at(index)), x, element.baseline - travel * progress,
                 line.scale, theme, texts);
        painter.setOpacity(progress);
        drawLine(painter, element, QString(to.at(index)), x,
                 element.baseline + travel * (1.0 - progress), line.scale, theme, texts);
    }
    painter.restore();
}

// The rounded background and border of `outer`: the panel, or a part of it cut out for a
// repaint (see below).
void drawFrame(QPainter& painter, const QRectF& outer, const Theme& theme) {
    painter.setRenderHint(QPainter::Antialiasing);
    constexpr double radius = PanelMetrics::cornerRadius;
    painter.setPen(Qt::NoPen);
    painter.setBrush(theme.background());
    painter.drawRoundedRect(outer, radius, radius);
    // Stroked inside the edge: the pen's centre runs half its width in.
    constexpr double half = PanelMetrics::borderWidth / 2.0;
    painter.setPen(QPen(theme.color(ColorRole::quaternary), PanelMetrics::borderWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(outer.adjusted(half, half, -half, -half), radius - half, radius - half);
}

void paintFrame(QPainter& painter, const QRectF& outer, const Theme& theme) {
    painter.save();
    // The bottom layer of a transparent window: whatever was there before goes.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const QColor background = theme.background();
    painter.fillRect(outer, background.alpha() == 255 ? background : QColor(Qt::transparent));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    drawFrame(painter, outer, theme);
    painter.restore();
}

template <typename Gauge>
void paintAnyGauge(QPainter& painter, const Gauge& gauge, const QRectF& rect, const Theme& theme,
                   PaintCache& cache) {
    if (!cache.raster.paint(painter, gauge, rect, theme)) {
        gauge.paint(painter, rect, theme); // the reference
    }
}

} // namespace

QRegion outline(const QSizeF& size) {
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(0, 0), size), PanelMetrics::cornerRadius,
                        PanelMetrics::cornerRadius);
    return QRegion(path.toFillPolygon().toPolygon());
}

void paintFrame(QPainter& painter, const QSizeF& size, const Theme& theme) {
    paintFrame(painter, QRectF(QPointF(0, 0), size), theme);
}

void paintFrame(QPainter& painter, const QSizeF& size, const Theme& theme, const QRegion& dirty) {
    // Inside the border and away from the rounded corners the frame is the plain background
    // colour; a refresh repaints a few such rectangles. Only a repaint that reaches the edge
    // rasterizes the antialiased outline (a panel-sized image of it would cost as much
    // memory as the window's own backing store). Plain background is what lies inside the
    // outline drawn `edge` further in, its corners' radius as much smaller; the outline is
    // convex, so a rectangle lies inside when its four corners do.
    constexpr double edge = PanelMetrics::borderWidth + 1.0;
    constexpr double radius = PanelMetrics::cornerRadius - edge;
    const QRectF panel(QPointF(0, 0), size);
    const QRectF inner = panel.adjusted(edge, edge, -edge, -edge);
    const auto inside = [&](QPointF point) {
        if (!inner.contains(point)) {
            return false;
        }
        const double x = std::clamp(point.x(), inner.left() + radius, inner.right() - radius);
        const double y = std::clamp(point.y(), inner.top() + radius, inner.bottom() - radius);
        return std::hypot(point.x() - x, point.y() - y) <= radius;
    };
    const auto interior = [&](const QRect& rect) {
        const QRectF area(rect);
        return inside(area.topLeft()) && inside(area.topRight()) && inside(area.bottomLeft()) &&
               inside(area.bottomRight());
    };
    for (const QRect& rect : dirty) {
        painter.save();
        if (interior(rect)) {
            // The frame is the bottom layer of a transparent window: replacing instead of
            // blending gives the same pixels without reading the destination.
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.fillRect(rect, theme.background());
        } else {
            // Near the edge: the outline rasterized inside this rectangle only (unclipped, a
            // panel-high fill is big enough for Qt to spread it over threads), and only its
            // part around the rectangle: the panel cut beyond it by more than a corner's size.
            // The sides of the cut that are not the panel's, and their corners, lie outside
            // the clip, and the cut is too large for Qt to shrink its corners' radius.
            painter.setClipRect(rect, Qt::IntersectClip);
            constexpr double reach = 2.0 * PanelMetrics::cornerRadius + 2.0;
            paintFrame(painter,
                       QRectF(rect).adjusted(-reach, -reach, reach, reach).intersected(panel),
                       theme);
        }
        painter.restore();
    }
}

void paint(QPainter& painter, const PanelLayoutResult& layout, const Theme& theme,
           PaintCache& cache, const NumberRoller* roller, NumberRoller::Clock::time_point now) {
    paintFrame(painter, layout.size, theme);
    for (const PanelElement& element : layout.elements) {
        paintElement(painter, element, theme, cache, roller, now);
    }
}

void paintElement(QPainter& painter, const PanelElement& element, const Theme& theme,
                  PaintCache& cache, const NumberRoller* roller,
                  NumberRoller::Clock::time_point now) {
    if (const auto* text = std::get_if<TextElement>(&element)) {
        std::optional<NumberRoller::Roll> roll;
        if (roller != nullptr && text->animation) {
            roll = roller->roll(text->animation->id, now);
        }
        paintText(painter, *text, theme, cache, roll ? &*roll : nullptr);
    } else if (const auto* symbol = std::get_if<SymbolElement>(&element)) {
        const QTransform& device = painter.deviceTransform();
        const double ratio = device.m22();
        const QImage image = cache.symbols.image(symbol->symbol, symbol->pixelSize,
                                                 theme.color(symbol->color), ratio);
        // One image pixel on one whole device pixel: a symbol a few pixels wide blurs when
        // it is resampled (13.5 device pixels at 1.5x) or straddles pixel edges.
        const QPointF centre = device.map(symbol->rect.center());
        const QPointF corner(std::round(centre.x() - image.width() / 2.0),
                             std::round(centre.y() - image.height() / 2.0));
        painter.drawImage(QRectF(device.inverted().map(corner), QSizeF(image.size()) / ratio),
                          image);
    } else if (const auto* dot = std::get_if<DotElement>(&element)) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(theme.color(dot->color));
        painter.drawEllipse(dot->rect);
        painter.restore();
    } else if (const auto* divider = std::get_if<DividerElement>(&element)) {
        // On whole device rows at any scale, as many as make a point (1.5x: two).
        const double ratio = (painter.device() ? painter.device()->devicePixelRatioF() : 1.0) *
                             painter.worldTransform().m22();
        const double top = std::round(divider->rect.top() * ratio);
        const double rows = std::max(1.0, std::round(divider->rect.height() * ratio));
        painter.fillRect(
            QRectF(divider->rect.left(), top / ratio, divider->rect.width(), rows / ratio),
            theme.color(ColorRole::separator));
    } else if (const auto* bar = std::get_if<CapacityBarElement>(&element)) {
        paintGauge(painter, bar->gauge, bar->rect, theme, cache);
    } else if (const auto* segmented = std::get_if<SegmentedBarElement>(&element)) {
        paintGauge(painter, segmented->gauge, segmented->rect, theme, cache);
    } else if (const auto* cores = std::get_if<CoreBarsElement>(&element)) {
        paintGauge(painter, cores->gauge, cores->rect, theme, cache);
    } else if (const auto* sparkline = std::get_if<SparklineElement>(&element)) {
        paintGauge(painter, sparkline->gauge, sparkline->rect, theme, cache);
    }
}

void paintGauge(QPainter& painter, const CapacityBar& gauge, const QRectF& rect, const Theme& theme,
                PaintCache& cache) {
    paintAnyGauge(painter, gauge, rect, theme, cache);
}

void paintGauge(QPainter& painter, const SegmentedBar& gauge, const QRectF& rect,
                const Theme& theme, PaintCache& cache) {
    paintAnyGauge(painter, gauge, rect, theme, cache);
}

void paintGauge(QPainter& painter, const CoreBars& gauge, const QRectF& rect, const Theme& theme,
                PaintCache& cache) {
    paintAnyGauge(painter, gauge, rect, theme, cache);
}

void paintGauge(QPainter& painter, const Sparkline& gauge, const QRectF& rect, const Theme& theme,
                PaintCache& cache) {
    paintAnyGauge(painter, gauge, rect, theme, cache);
}

void paintText(QPainter& painter, const TextElement& text, const Theme& theme, PaintCache& cache,
               const NumberRoller::Roll* roll) {
    if (text.text.isEmpty()) {
        return;
    }
    painter.save();
    painter.setFont(theme.font(text.font));
    painter.setPen(theme.color(text.color));
    if (text.wrap) {
        QTextOption option(text.alignment | Qt::AlignTop);
        option.setWrapMode(QTextOption::WordWrap);
        painter.drawText(text.rect,
                         text.lineBreaks.empty() ? text.text
                                                 : withLineBreaks(text.text, text.lineBreaks),
                         option);
    } else {
        const PlacedLine line = placeLine(text, text.text, theme, cache.texts);
        if (roll != nullptr && roll->progress < 1.0) {
            drawRolling(painter, text, line, roll->from, roll->progress, theme, cache.texts);
        } else {
            drawLine(painter, text, line.text, line.left, text.baseline, line.scale, theme);
        }
    }
    painter.restore();
}

} // namespace trovimo::panelPainter

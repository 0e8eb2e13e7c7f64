#include "panel/PanelPainter.h"

#include "panel/LineBreaking.h"
#include "panel/RecentCache.h"
#include "panel/SymbolImages.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QStaticText>
#include <QTextOption>

#include <algorithm>
#include <cmath>

namespace trovimo {
namespace {

// Shaping a text costs far more than drawing it, and most of the panel's texts (labels,
// units, the date) stay the same from one refresh to the next: keep the shaped form of the
// texts drawn recently.
struct ShapedKey {
    QString text;
    FontSpec font;
    double available; // the width the text was elided to; negative: not elided
    friend bool operator==(const ShapedKey&, const ShapedKey&) = default;
};

size_t qHash(const ShapedKey& key, size_t seed = 0) noexcept {
    return qHashMulti(seed, key.text, static_cast<int>(key.font.style),
                      static_cast<int>(key.font.weight), key.font.monospacedDigits,
                      key.font.rounded, key.font.pixelSize, key.available);
}

struct Shaped {
    QString shown; // after eliding
    double width = 0.0;
    QStaticText staticText;
};

Shaped shaped(const QString& text, const FontSpec& spec, double available, const Theme& theme) {
    // A panel draws a few dozen texts; values that changed are dropped soon after.
    static RecentCache<ShapedKey, Shaped> cache(64);
    ShapedKey key{text, spec, available};
    if (const Shaped* found = cache.find(key)) {
        return *found;
    }
    const QFontMetricsF& metrics = theme.metrics(spec);
    Shaped entry;
    entry.shown = available < 0.0 ? text : metrics.elidedText(text, Qt::ElideRight, available);
    entry.width = metrics.horizontalAdvance(entry.shown);
    entry.staticText.setText(entry.shown);
    entry.staticText.setTextFormat(Qt::PlainText);
    entry.staticText.setPerformanceHint(QStaticText::AggressiveCaching);
    entry.staticText.prepare(QTransform(), theme.font(spec));
    return cache.insert(key, std::move(entry));
}

struct PlacedLine {
    Shaped text;  // after eliding (implicitly shared: cheap to copy)
    double scale; // the shrink applied
    double left;  // x of the text's origin
    double width; // drawn width, scale applied
};

PlacedLine placeLine(const TextElement& element, const QString& source, const Theme& theme) {
    const double available = element.rect.width();
    Shaped line = shaped(source, element.font, -1.0, theme);
    double scale = 1.0;
    if (line.width > available && element.minimumScale < 1.0 && line.width > 0.0) {
        scale = std::max(element.minimumScale, available / line.width);
    }
    if (line.width * scale > available + 0.01) {
        line = shaped(source, element.font, available / scale, theme);
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
void drawLine(QPainter& painter, const TextElement& element, const Shaped& text, double left,
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
              double baseline, double scale, const Theme& theme) {
    drawLine(painter, element, shaped(text, element.font, -1.0, theme), left, baseline, scale,
             theme);
}

// Digits that changed slide up and out while the new ones slide in from below; the rest
// of the text stays put.
void drawRolling(QPainter& painter, const TextElement& element, const PlacedLine& line,
                 const QString& from, double progress, const Theme& theme) {
    const QFontMetricsF& metrics = theme.metrics(element.font);
    const double travel = metrics.ascent() * 0.7 * line.scale;
    const QString& to = line.text.shown;
    painter.save();
    painter.setClipRect(element.rect.adjusted(0, -2, 0, 2), Qt::IntersectClip);
    if (from.size() != to.size()) {
        // No digit-by-digit pairing: the whole text rolls.
        const PlacedLine old = placeLine(element, from, theme);
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
                     theme);
            continue;
        }
        painter.setOpacity(1.0 - progress);
        drawLine(painter, element, QString(from.at(index)), x, element.baseline - travel * progress,
                 line.scale, theme);
        painter.setOpacity(progress);
        drawLine(painter, element, QString(to.at(index)), x,
                 element.baseline + travel * (1.0 - progress), line.scale, theme);
    }
    painter.restore();
}

} // namespace

namespace {

void drawFrame(QPainter& painter, const QSizeF& size, const Theme& theme) {
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF outer(QPointF(0, 0), size);
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

} // namespace

QRegion PanelPainter::outline(const QSizeF& size) {
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(0, 0), size), PanelMetrics::cornerRadius,
                        PanelMetrics::cornerRadius);
    return QRegion(path.toFillPolygon().toPolygon());
}

void PanelPainter::paintFrame(QPainter& painter, const QSizeF& size, const Theme& theme) {
    painter.save();
    // The bottom layer of a transparent window: whatever was there before goes.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const QColor background = theme.background();
    painter.fillRect(QRectF(QPointF(0, 0), size),
                     background.alpha() == 255 ? background : QColor(Qt::transparent));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    drawFrame(painter, size, theme);
    painter.restore();
}

void PanelPainter::paintFrame(QPainter& painter, const QSizeF& size, const Theme& theme,
                              const QRegion& dirty) {
    // Inside the border and away from the rounded corners the frame is the plain background
    // colour; a refresh repaints a few such rectangles. Only a repaint that reaches the edge
    // rasterizes the antialiased outline (a panel-sized image of it would cost as much
    // memory as the window's own backing store).
    constexpr double corner = PanelMetrics::cornerRadius + 1.0;
    constexpr double edge = PanelMetrics::borderWidth + 1.0;
    const QRectF inner = QRectF(QPointF(0, 0), size).adjusted(edge, edge, -edge, -edge);
    const QRectF corners[] = {
        QRectF(0, 0, corner, corner),
        QRectF(size.width() - corner, 0, corner, corner),
        QRectF(0, size.height() - corner, corner, corner),
        QRectF(size.width() - corner, size.height() - corner, corner, corner),
    };
    const auto interior = [&](const QRect& rect) {
        const QRectF area(rect);
        return inner.contains(area) &&
               std::none_of(std::begin(corners), std::end(corners),
                            [&](const QRectF& square) { return square.intersects(area); });
    };
    for (const QRect& rect : dirty) {
        painter.save();
        if (interior(rect)) {
            // The frame is the bottom layer of a transparent window: replacing instead of
            // blending gives the same pixels without reading the destination.
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.fillRect(rect, theme.background());
        } else {
            // Near the edge: the whole outline, but rasterized only inside this rectangle
            // (unclipped, a panel-high fill is big enough for Qt to spread it over threads).
            painter.setClipRect(rect, Qt::IntersectClip);
            paintFrame(painter, size, theme);
        }
        painter.restore();
    }
}

void PanelPainter::paint(QPainter& painter, const PanelLayoutResult& layout, const Theme& theme,
                         const NumberRoller* roller, NumberRoller::Clock::time_point now) {
    paintFrame(painter, layout.size, theme);
    for (const PanelElement& element : layout.elements) {
        paintElement(painter, element, theme, roller, now);
    }
}

void PanelPainter::paintElement(QPainter& painter, const PanelElement& element, const Theme& theme,
                                const NumberRoller* roller, NumberRoller::Clock::time_point now) {
    if (const auto* text = std::get_if<TextElement>(&element)) {
        std::optional<NumberRoller::Roll> roll;
        if (roller != nullptr && text->animation) {
            roll = roller->roll(text->animation->id, now);
        }
        paintText(painter, *text, theme, roll ? &*roll : nullptr);
    } else if (const auto* symbol = std::get_if<SymbolElement>(&element)) {
        const QTransform& device = painter.deviceTransform();
        const double ratio = device.m22();
        const QImage image = SymbolImages::image(symbol->symbol, symbol->pixelSize,
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
        painter.fillRect(divider->rect, theme.color(ColorRole::separator));
    } else if (const auto* bar = std::get_if<CapacityBarElement>(&element)) {
        bar->gauge.paint(painter, bar->rect, theme);
    } else if (const auto* segmented = std::get_if<SegmentedBarElement>(&element)) {
        segmented->gauge.paint(painter, segmented->rect, theme);
    } else if (const auto* cores = std::get_if<CoreBarsElement>(&element)) {
        cores->gauge.paint(painter, cores->rect, theme);
    } else if (const auto* sparkline = std::get_if<SparklineElement>(&element)) {
        sparkline->gauge.paint(painter, sparkline->rect, theme);
    }
}

void PanelPainter::paintText(QPainter& painter, const TextElement& text, const Theme& theme,
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
        const PlacedLine line = placeLine(text, text.text, theme);
        if (roll != nullptr && roll->progress < 1.0) {
            drawRolling(painter, text, line, roll->from, roll->progress, theme);
        } else {
            drawLine(painter, text, line.text, line.left, text.baseline, line.scale, theme);
        }
    }
    painter.restore();
}

} // namespace trovimo

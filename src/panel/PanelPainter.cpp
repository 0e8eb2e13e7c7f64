#include "panel/PanelPainter.h"

#include "panel/SymbolImages.h"

#include <QPainter>
#include <QPainterPath>
#include <QTextOption>

#include <algorithm>

namespace trovimo {
namespace {

struct PlacedLine {
    QString text; // after eliding
    double scale; // the shrink applied
    double left;  // x of the text's origin
    double width; // drawn width, scale applied
};

PlacedLine placeLine(const TextElement& element, const QString& source, const Theme& theme) {
    const QFontMetricsF& metrics = theme.metrics(element.font);
    const double available = element.rect.width();
    double width = metrics.horizontalAdvance(source);
    double scale = 1.0;
    if (width > available && element.minimumScale < 1.0 && width > 0.0) {
        scale = std::max(element.minimumScale, available / width);
    }
    QString text = source;
    if (width * scale > available + 0.01) {
        text = metrics.elidedText(source, Qt::ElideRight, available / scale);
        width = metrics.horizontalAdvance(text);
    }
    const double drawn = width * scale;
    double left = element.rect.left();
    if (element.alignment & Qt::AlignRight) {
        left = element.rect.right() - drawn;
    } else if (element.alignment & Qt::AlignHCenter) {
        left = element.rect.left() + (available - drawn) / 2.0;
    }
    return {text, scale, left, drawn};
}

// Draws `text` with its origin at (left, baseline), shrunk by `scale`.
void drawLine(QPainter& painter, const QString& text, double left, double baseline, double scale) {
    painter.save();
    painter.translate(left, baseline);
    if (scale != 1.0) {
        painter.scale(scale, scale);
    }
    painter.drawText(QPointF(0, 0), text);
    painter.restore();
}

// Digits that changed slide up and out while the new ones slide in from below; the rest
// of the text stays put.
void drawRolling(QPainter& painter, const TextElement& element, const PlacedLine& line,
                 const QString& from, double progress, const Theme& theme) {
    const QFontMetricsF& metrics = theme.metrics(element.font);
    const double travel = metrics.ascent() * 0.7 * line.scale;
    const QString& to = line.text;
    painter.save();
    painter.setClipRect(element.rect.adjusted(0, -2, 0, 2), Qt::IntersectClip);
    if (from.size() != to.size()) {
        // No digit-by-digit pairing: the whole text rolls.
        const PlacedLine old = placeLine(element, from, theme);
        painter.setOpacity(1.0 - progress);
        drawLine(painter, old.text, old.left, element.baseline - travel * progress, old.scale);
        painter.setOpacity(progress);
        drawLine(painter, to, line.left, element.baseline + travel * (1.0 - progress), line.scale);
        painter.restore();
        return;
    }
    for (qsizetype index = 0; index < to.size(); ++index) {
        const double x = line.left + metrics.horizontalAdvance(to.left(index)) * line.scale;
        if (from.at(index) == to.at(index)) {
            painter.setOpacity(1.0);
            drawLine(painter, QString(to.at(index)), x, element.baseline, line.scale);
            continue;
        }
        painter.setOpacity(1.0 - progress);
        drawLine(painter, QString(from.at(index)), x, element.baseline - travel * progress,
                 line.scale);
        painter.setOpacity(progress);
        drawLine(painter, QString(to.at(index)), x, element.baseline + travel * (1.0 - progress),
                 line.scale);
    }
    painter.restore();
}

} // namespace

void PanelPainter::paintFrame(QPainter& painter, const QSizeF& size, const Theme& theme) {
    painter.save();
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
    painter.restore();
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
        const double ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
        const double scale = painter.worldTransform().m22();
        const QImage image = SymbolImages::image(symbol->symbol, symbol->pixelSize,
                                                 theme.color(symbol->color), ratio * scale);
        const QPointF centre = symbol->rect.center();
        const double half = symbol->pixelSize / 2.0;
        painter.drawImage(
            QRectF(centre.x() - half, centre.y() - half, symbol->pixelSize, symbol->pixelSize),
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
        painter.drawText(text.rect, text.text, option);
    } else {
        const PlacedLine line = placeLine(text, text.text, theme);
        if (roll != nullptr && roll->progress < 1.0) {
            drawRolling(painter, text, line, roll->from, roll->progress, theme);
        } else {
            drawLine(painter, line.text, line.left, text.baseline, line.scale);
        }
    }
    painter.restore();
}

} // namespace trovimo

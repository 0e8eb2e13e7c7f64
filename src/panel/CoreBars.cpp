#include "panel/CoreBars.h"

#include <QPainter>

#include <algorithm>

namespace trovimo {

std::vector<CoreBars::Cell> CoreBars::layout(const QSizeF& size) const {
    std::vector<Cell> cells;
    if (values.empty()) {
        return cells;
    }
    const auto count = static_cast<double>(values.size());
    const double cellWidth = std::max(0.0, (size.width() - gap * (count - 1.0)) / count);
    const double height = size.height();
    cells.reserve(values.size());
    for (std::size_t index = 0; index < values.size(); ++index) {
        const double x = static_cast<double>(index) * (cellWidth + gap);
        // Not clamped above: loads come in as fractions; NaN falls back to the stub.
        const double scaled = values[index] * height;
        const double barHeight = scaled > minimumBar ? scaled : minimumBar;
        cells.push_back({QRectF(x, 0.0, cellWidth, height),
                         QRectF(x, height - barHeight, cellWidth, barHeight)});
    }
    return cells;
}

void CoreBars::paint(QPainter& painter, const QRectF& rect, const Theme& theme) const {
    const std::vector<Cell> cells = layout(rect.size());
    if (cells.empty()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.translate(rect.topLeft());
    const QColor track = theme.color(ColorRole::quaternary);
    const QColor bar = theme.color(ColorRole::blue);
    for (const Cell& cell : cells) {
        painter.setOpacity(0.5);
        painter.setBrush(track);
        painter.drawRoundedRect(cell.track, cornerRadius, cornerRadius);
        painter.setOpacity(1.0);
        painter.setBrush(bar);
        painter.drawRoundedRect(cell.bar, cornerRadius, cornerRadius);
    }
    painter.restore();
}

} // namespace trovimo

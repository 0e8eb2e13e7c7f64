#include "panel/CoreBars.h"

#include "panel/ShapeLayer.h"

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
    const QPointF origin = rect.topLeft();
    // A load above 1 reaches over the top of the track.
    QRectF area = rect;
    for (const Cell& cell : cells) {
        area = area.united(cell.bar.translated(origin));
    }
    ShapeLayer layer(painter, area);
    const QColor track = theme.color(ColorRole::quaternary);
    const QColor bar = theme.color(ColorRole::blue);
    for (const Cell& cell : cells) {
        layer.fillRoundedRect(cell.track.translated(origin), cornerRadius, cornerRadius, track,
                              0.5);
        layer.fillRoundedRect(cell.bar.translated(origin), cornerRadius, cornerRadius, bar);
    }
}

} // namespace trovimo

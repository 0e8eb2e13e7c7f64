#include "panel/CoreBars.h"

#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace trovimo {
namespace {

// `at` (a length from the frame's corner) moved onto the nearest device pixel edge.
double snapped(double at, double ratio, double origin) {
    return (std::round(origin + at * ratio) - origin) / ratio;
}

} // namespace

CoreBars::Arrangement CoreBars::arrange(std::size_t count, double width) noexcept {
    Arrangement arrangement;
    if (count == 0) {
        return arrangement;
    }
    arrangement.rows = 1;
    arrangement.perRow = count;
    const auto cores = static_cast<double>(count);
    if ((width - gap * (cores - 1.0)) / cores >= minimumCell) {
        return arrangement;
    }
    arrangement.snapped = true;
    if ((width - (cores - 1.0)) / cores >= minimumCell) {
        arrangement.gap = 1.0;
        return arrangement;
    }
    // Square cells tile into one strip; rounded ones would leave notches between them.
    arrangement.gap = 0.0;
    arrangement.cornerRadius = 0.0;
    // A point of width per core at the least (one device pixel at 1x); more cores wrap.
    const std::size_t columns = width >= 1.0 ? static_cast<std::size_t>(std::min(width, 1e6)) : 1;
    arrangement.rows = (count + columns - 1) / columns;
    arrangement.perRow = (count + arrangement.rows - 1) / arrangement.rows;
    return arrangement;
}

std::vector<CoreBars::Cell> CoreBars::layout(const QSizeF& size, double devicePixelRatio,
                                             QPointF deviceOrigin) const {
    std::vector<Cell> cells;
    const Arrangement arrangement = arrange(values.size(), size.width());
    if (arrangement.rows == 0) {
        return cells;
    }
    const auto perRow = static_cast<double>(arrangement.perRow);
    const auto rows = static_cast<double>(arrangement.rows);
    const double cellWidth =
        std::max(0.0, (size.width() - arrangement.gap * (perRow - 1.0)) / perRow);
    const double rowHeight = std::max(0.0, (size.height() - rowGap * (rows - 1.0)) / rows);
    const double stub = arrangement.rows == 1 ? minimumBar : minimumRowBar;
    const bool snap = arrangement.snapped && devicePixelRatio > 0.0 &&
                      std::isfinite(devicePixelRatio + deviceOrigin.x() + deviceOrigin.y());
    cells.reserve(values.size());
    for (std::size_t index = 0; index < values.size(); ++index) {
        const auto column = static_cast<double>(index % arrangement.perRow);
        const auto row = static_cast<double>(index / arrangement.perRow);
        double left = column * (cellWidth + arrangement.gap);
        double width = cellWidth;
        double top = row * (rowHeight + rowGap);
        double height = rowHeight;
        if (snap) {
            const double right = snapped(left + width, devicePixelRatio, deviceOrigin.x());
            left = snapped(left, devicePixelRatio, deviceOrigin.x());
            width = right - left;
            const double bottom = snapped(top + height, devicePixelRatio, deviceOrigin.y());
            top = snapped(top, devicePixelRatio, deviceOrigin.y());
            height = bottom - top;
        }
        // Not clamped above in a single row: loads come in as fractions. In rows, a bar
        // taller than its row would cover the core above it. NaN falls back to the stub.
        const double scaled = values[index] * height;
        double barHeight = scaled > stub ? scaled : stub;
        if (arrangement.rows > 1) {
            barHeight = std::min(barHeight, height);
        }
        cells.push_back({QRectF(left, top, width, height),
                         QRectF(left, top + height - barHeight, width, barHeight)});
    }
    return cells;
}

void CoreBars::shapes(const QRectF& rect, const QTransform& device, const Theme& theme,
                      std::vector<RoundedShape>& out) const {
    const std::vector<Cell> cells = layout(rect.size(), device.m11(), device.map(rect.topLeft()));
    if (cells.empty()) {
        return;
    }
    const double radius = arrange(values.size(), rect.width()).cornerRadius;
    const QPointF origin = rect.topLeft();
    const QColor track = theme.color(ColorRole::quaternary);
    const QColor bar = theme.color(ColorRole::blue);
    // A load above 1 reaches over the top of the track.
    for (const Cell& cell : cells) {
        out.push_back({cell.track.translated(origin), radius, radius, track, 0.5});
        out.push_back({cell.bar.translated(origin), radius, radius, bar});
    }
}

void CoreBars::paint(QPainter& painter, const QRectF& rect, const Theme& theme) const {
    std::vector<RoundedShape> all;
    shapes(rect, painter.deviceTransform(), theme, all);
    paintRoundedShapes(painter, all);
}

} // namespace trovimo

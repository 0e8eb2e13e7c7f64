#pragma once

#include "panel/RoundedShape.h"
#include "panel/Theme.h"

#include <QRectF>

#include <cstddef>
#include <vector>

class QPainter;
class QTransform;

namespace trovimo {

// One vertical bar per CPU core in equal cells, bottom-aligned.
//
// Up to the core count whose cells stay 2 points wide the cells stand 2 apart with rounded
// corners. Beyond it the gaps narrow to 1, then 0 (square cells that tile into one strip);
// beyond one core per point the cores wrap into rows of the same strip, top row first. In
// those denser arrangements every cell's edges fall on whole device pixels, so each core
// keeps at least one column of its own instead of blurring into its neighbours.
struct CoreBars {
    static constexpr double gap = 2.0;
    static constexpr double cornerRadius = 1.5;
    static constexpr double minimumBar = 2.0;
    // Narrowest cell before the gaps narrow.
    static constexpr double minimumCell = 2.0;
    static constexpr double rowGap = 1.0;
    // The stub of an idle core when the strip is split into rows.
    static constexpr double minimumRowBar = 1.0;

    struct Cell {
        QRectF track;
        QRectF bar;
    };

    struct Arrangement {
        std::size_t rows = 0;
        std::size_t perRow = 0;
        double gap = CoreBars::gap;
        double cornerRadius = CoreBars::cornerRadius;
        // Cell edges on whole device pixels.
        bool snapped = false;
    };

    std::vector<double> values;

    // How `count` cores fill a strip `width` wide.
    [[nodiscard]] static Arrangement arrange(std::size_t count, double width) noexcept;
    // Cells in a `size` frame with the origin at its top-left corner. Where the arrangement
    // snaps, edges fall on whole device pixels for a frame whose corner lies at
    // `deviceOrigin` (in device pixels, possibly between two) at `devicePixelRatio`.
    [[nodiscard]] std::vector<Cell> layout(const QSizeF& size, double devicePixelRatio = 1.0,
                                           QPointF deviceOrigin = {}) const;
    // Each cell's track and bar in `rect`, back to front, appended to `out`; `device` (the
    // painter's device transform) places the snapped edges.
    void shapes(const QRectF& rect, const QTransform& device, const Theme& theme,
                std::vector<RoundedShape>& out) const;
    void paint(QPainter& painter, const QRectF& rect, const Theme& theme) const;

    friend bool operator==(const CoreBars&, const CoreBars&) = default;
};

} // namespace trovimo

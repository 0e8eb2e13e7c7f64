#pragma once

#include "panel/Theme.h"

#include <QRectF>

#include <vector>

class QPainter;

namespace trovimo {

// One vertical bar per CPU core in equal cells, bottom-aligned.
struct CoreBars {
    static constexpr double gap = 2.0;
    static constexpr double cornerRadius = 1.5;
    static constexpr double minimumBar = 2.0;

    struct Cell {
        QRectF track;
        QRectF bar;
    };

    std::vector<double> values;

    // Cells in a `size` frame with the origin at its top-left corner.
    [[nodiscard]] std::vector<Cell> layout(const QSizeF& size) const;
    void paint(QPainter& painter, const QRectF& rect, const Theme& theme) const;

    friend bool operator==(const CoreBars&, const CoreBars&) = default;
};

} // namespace trovimo

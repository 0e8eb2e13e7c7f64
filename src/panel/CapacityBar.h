#pragma once

#include "panel/CapacityLevel.h"
#include "panel/RoundedShape.h"
#include "panel/Theme.h"

#include <QRectF>

#include <vector>

class QPainter;

namespace trovimo {

// One fraction in a capsule track, always with a visible stub so an empty bar still reads
// as a bar. Without a figure at all the track stands alone: a stub would read as an almost
// empty one.
struct CapacityBar {
    static constexpr double height = 6.0;
    static constexpr double minimumFill = 4.0;

    double fraction = 0.0;
    CapacityLevel level = CapacityLevel::normal;
    bool filled = true;

    // Width of the fill for a track `trackWidth` wide: clamped to the track, at least the stub.
    [[nodiscard]] double fillWidth(double trackWidth) const noexcept;
    [[nodiscard]] static ColorRole fillColor(CapacityLevel level) noexcept;
    // The track and the fill in `rect`, back to front, appended to `out`.
    void shapes(const QRectF& rect, const Theme& theme, std::vector<RoundedShape>& out) const;
    void paint(QPainter& painter, const QRectF& rect, const Theme& theme) const;

    friend bool operator==(const CapacityBar&, const CapacityBar&) = default;
};

} // namespace trovimo

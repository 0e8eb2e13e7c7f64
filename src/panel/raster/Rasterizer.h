#pragma once

#include <QRectF>

#include <memory>

class QPainter;

namespace trovimo {

class Theme;
struct CapacityBar;
struct CoreBars;
struct SegmentedBar;
struct Sparkline;

// The panel's own pixel code, and the one way into it. A gauge's paint() draws it with
// QPainter, and that is how it looks. For the gauges a refresh redraws, this writes the same
// shapes straight into small layers of pixels at a fraction of QPainter's cost, within a
// tolerance of QPainter's pixels that the tests hold it to. Where it does not apply (switched
// off, a transform other than a scale and a shift, an outlandish size) it draws nothing and
// returns false: the caller then paints the gauge with QPainter.
//
// TROVIMO_PAINTER=qpainter in the environment switches it off for the whole program.
// What it keeps between paints (layers, graph tracks) belongs to its owner, who drops it
// with clear() when the palette or the scale changes.
class Rasterizer {
public:
    Rasterizer();
    ~Rasterizer();
    Rasterizer(Rasterizer&&) noexcept;
    Rasterizer& operator=(Rasterizer&&) noexcept;

    [[nodiscard]] bool enabled() const noexcept { return enabled_; }
    void setEnabled(bool enabled) noexcept { enabled_ = enabled; }
    void clear();

    bool paint(QPainter& painter, const CapacityBar& bar, const QRectF& rect, const Theme& theme);
    bool paint(QPainter& painter, const SegmentedBar& bar, const QRectF& rect, const Theme& theme);
    bool paint(QPainter& painter, const CoreBars& bars, const QRectF& rect, const Theme& theme);
    bool paint(QPainter& painter, const Sparkline& graph, const QRectF& rect, const Theme& theme);

private:
    struct Kept;
    // A bar's shapes filled into the kept layer.
    template <typename Bar>
    bool paintBar(QPainter& painter, const Bar& bar, const QRectF& rect, const Theme& theme);

    std::unique_ptr<Kept> kept_;
    bool enabled_;
};

} // namespace trovimo

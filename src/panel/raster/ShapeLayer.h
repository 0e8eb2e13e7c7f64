#pragma once

#include <QColor>
#include <QPointF>
#include <QRectF>

class QPainter;

namespace trovimo {

// Antialiased, axis-aligned rounded rectangles in solid colours, rasterised straight into a
// small layer of device pixels that is copied onto the painter once. QPainter fills each
// rounded rectangle as a curved path through its antialiasing rasteriser, a few thousand
// instructions even for a bar a handful of pixels tall; the bars redrawn every refresh are
// a dozen of them. Under a transform other than a scale and a shift, or for an outsized
// area, the shapes go to the painter as they are.
class ShapeLayer {
public:
    // `area`, in the painter's coordinates, bounds everything drawn until finish(): parts of
    // shapes beyond its device pixels are cut. An empty area (or NaN) draws nothing.
    ShapeLayer(QPainter& painter, const QRectF& area);
    ~ShapeLayer();
    ShapeLayer(const ShapeLayer&) = delete;
    ShapeLayer& operator=(const ShapeLayer&) = delete;

    // Source-over, in order. Radii are clamped to half the width and height, as QPainter
    // does (a radius at or below zero gives square corners); `opacity` multiplies the
    // colour's alpha. A rectangle or radius that is NaN draws nothing.
    void fillRoundedRect(const QRectF& rect, double xRadius, double yRadius, const QColor& color,
                         double opacity = 1.0);
    // Copies the layer onto the painter; called by the destructor if not before. Nothing is
    // drawn after it.
    void finish();

    // Whether the shapes go into the layer (false: straight to the painter, or nowhere for
    // an empty area).
    [[nodiscard]] bool layered() const noexcept { return mode_ == Mode::layered; }

private:
    enum class Mode { layered, direct, nothing, finished };
    struct Pixels;

    QPainter& painter_;
    Mode mode_ = Mode::nothing;
    Pixels* pixels_ = nullptr; // the reused layer while layered
    double ratio_ = 1.0;       // device pixels per unit
    QPointF shift_;            // device position of the painter's origin, relative to the layer
    QPointF topLeft_;          // the layer's top-left pixel in the painter's coordinates
    double opacity_ = 1.0;     // the painter's own, for the direct way
};

} // namespace trovimo

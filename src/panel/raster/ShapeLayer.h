#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRectF>

#include <vector>

class QPainter;

namespace trovimo {

// Antialiased, axis-aligned rounded rectangles in solid colours, rasterised straight into a
// small layer of device pixels that is copied onto the painter once. QPainter fills each
// rounded rectangle as a curved path through its antialiasing rasteriser, a few thousand
// instructions even for a bar a handful of pixels tall; the bars redrawn every refresh are
// a dozen of them. Under a transform other than a scale and a shift, for an outsized area,
// or while another layer on the same pixels is open, it declines: the shapes are left to
// QPainter.
class ShapeLayer {
public:
    // The layer's pixels, kept from one paint to the next (see Rasterizer), and what has been
    // written to them.
    class Pixels {
    public:
        // A transparent `width` x `height` corner of the image; false if it cannot be had.
        bool begin(int width, int height);
        // The rounded rectangle from (x0, y0) to (x1, y1) in layer pixels (x0 <= x1,
        // y0 <= y1, no NaN) with corner radii rx and ry (finite, within half the size, both
        // zero or both positive), in the premultiplied `color`.
        void fill(double x0, double y0, double x1, double y1, double rx, double ry, QRgb color);

        QImage image;
        QRect written;
        bool busy = false; // a layer that is not finished uses these

    private:
        QRgb* line(int row);
        void span(QRgb* out, int row, int from, int to, QRgb source);
        void touched(int row, int from, int to);

        // Per row, the columns written so far, [first, last): the rest are still
        // transparent, where a translucent fill is a plain store.
        std::vector<int> first_;
        std::vector<int> last_;
        uchar* bits_ = nullptr;
        qsizetype bytesPerLine_ = 0;
        int columns_ = 0;
        int rows_ = 0;
    };

    // `area`, in the painter's coordinates, bounds everything drawn until finish(): parts of
    // shapes beyond its device pixels are cut. An empty area (or NaN) draws nothing.
    ShapeLayer(QPainter& painter, const QRectF& area, Pixels& pixels);
    ~ShapeLayer();
    ShapeLayer(const ShapeLayer&) = delete;
    ShapeLayer& operator=(const ShapeLayer&) = delete;

    // Source-over, in order. Radii are clamped to half the width and height, as QPainter
    // does (a radius at or below zero gives square corners); `opacity` multiplies the
    // colour's alpha. A rectangle or radius that is NaN draws nothing. Nothing at all once
    // declined.
    void fillRoundedRect(const QRectF& rect, double xRadius, double yRadius, const QColor& color,
                         double opacity = 1.0);
    // Copies the layer onto the painter; called by the destructor if not before. Nothing is
    // drawn after it.
    void finish();

    // Whether the shapes are left to QPainter.
    [[nodiscard]] bool declined() const noexcept { return mode_ == Mode::declined; }

private:
    enum class Mode { layered, declined, nothing, finished };

    QPainter& painter_;
    Mode mode_ = Mode::nothing;
    Pixels* pixels_ = nullptr; // while layered
    double ratio_ = 1.0;       // device pixels per unit
    QPointF shift_;            // device position of the painter's origin, relative to the layer
    QPointF topLeft_;          // the layer's top-left pixel in the painter's coordinates
};

} // namespace trovimo

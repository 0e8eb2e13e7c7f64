#pragma once

#include <QRectF>

#include <memory>

class QPainter;

namespace trovimo {

class Theme;
struct Sparkline;

// What the graphs keep from one paint to the next: per size, palette and series colour the
// track behind a graph (SparklineTrack), and the buffers a graph is written into.
class SparklineImages {
public:
    SparklineImages();
    ~SparklineImages();
    SparklineImages(SparklineImages&&) noexcept;
    SparklineImages& operator=(SparklineImages&&) noexcept;

    struct Kept;

private:
    friend bool paintSparkline(QPainter&, const Sparkline&, const QRectF&, const Theme&,
                               SparklineImages&);
    std::unique_ptr<Kept> kept_;
};

// Paints `sparkline` into `rect` as Sparkline::paint() does. Filling through a rounded clip
// path makes Qt build and apply a coverage mask for every fill, and even unclipped its polygon
// fills cost several times what a line graph needs. Instead the series is written straight
// into a small layer over a copy of the kept track, the corners are cut with the kept corner
// coverage, and the layer is copied in once. Under a rotation or a shear, or at an outlandish
// size, it draws nothing and returns false.
bool paintSparkline(QPainter& painter, const Sparkline& sparkline, const QRectF& rect,
                    const Theme& theme, SparklineImages& images);

} // namespace trovimo

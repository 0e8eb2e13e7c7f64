// The shape layer writes rounded rectangles straight into pixels; these tests hold it against
// QPainter's own antialiased drawRoundedRect of the same shapes, and keep it inside its area.
#include "panel/raster/ShapeLayer.h"
#include "panel/PanelTestSupport.h"
#include "panel/RoundedShape.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace trovimo {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

using Shapes = std::vector<RoundedShape>;
using Draw = std::function<void(QPainter&)>;

// A `size` canvas at `scale` filled with `background`, painted by `draw` moved by `offset`.
QImage canvas(QSizeF size, double scale, QRgb background, QPointF offset, const Draw& draw) {
    return test::canvas(
        size, scale,
        [&](QPainter& painter) {
            painter.translate(offset);
            draw(painter);
        },
        background);
}

ShapeLayer::Pixels& pixels() {
    static ShapeLayer::Pixels kept;
    return kept;
}

void paintLayered(QPainter& painter, const QRectF& area, const Shapes& shapes,
                  bool declined = false) {
    ShapeLayer layer(painter, area, pixels());
    EXPECT_EQ(layer.declined(), declined);
    for (const RoundedShape& shape : shapes) {
        layer.fillRoundedRect(shape.rect, shape.xRadius, shape.yRadius, shape.color, shape.opacity);
    }
}

// Expects `layered` to match `direct` (`shapes` drawn one by one) within a couple of levels
// inside the shapes and on their straight edges, where both compute the exact covered area.
// On the corner arcs Qt flattens the curve into chords that cut inside it while the layer
// goes by the distance to it: on the bars' small corners the two land on either side of the
// exact coverage, up to some 30 levels apart.
void expectAlike(const QImage& layered, const QImage& direct, const Shapes& shapes, QSizeF size,
                 double scale, QPointF offset) {
    std::vector<std::pair<QImage, QImage>> masks; // each shape's coverage: rounded, square
    for (const RoundedShape& shape : shapes) {
        const auto mask = [&](double radius) {
            return canvas(size, scale, 0, offset, [&](QPainter& p) {
                paintRoundedShapes(p, Shapes{{shape.rect, radius * shape.xRadius,
                                              radius * shape.yRadius, Qt::black, 1.0}});
            });
        };
        masks.emplace_back(mask(1.0), mask(0.0));
    }
    int offInside = 0;
    int offOnEdges = 0;
    int offOnArcs = 0;
    int arcs = 0;
    for (int y = 0; y < direct.height(); ++y) {
        for (int x = 0; x < direct.width(); ++x) {
            bool edge = false;
            bool arc = false;
            for (const auto& [rounded, square] : masks) {
                const int coverage = qAlpha(rounded.pixel(x, y));
                arc = arc || coverage != qAlpha(square.pixel(x, y));
                edge = edge || (coverage > 0 && coverage < 255);
            }
            const QRgb a = layered.pixel(x, y);
            const QRgb b = direct.pixel(x, y);
            const int off = test::channelDistance(a, b);
            arcs += arc ? 1 : 0;
            offOnArcs += arc && off > 32 ? 1 : 0;
            offOnEdges += !arc && edge && off > 4 ? 1 : 0;
            offInside += !arc && !edge && off > 2 ? 1 : 0;
        }
    }
    EXPECT_EQ(offInside, 0);
    EXPECT_EQ(offOnEdges, 0);
    EXPECT_LE(offOnArcs, arcs / 10) << "of " << arcs << " pixels near the corners";
}

const QColor gray = QColor::fromRgbF(0.47f, 0.47f, 0.5f, 0.6f);
const QColor blue = QColor(10, 132, 255);
const QColor orange = QColor(255, 159, 10, 230);

struct RasterCase {
    std::string name;
    QSizeF area;
    Shapes shapes;
};

const RasterCase rasterCases[] = {
    {"capsule", {166, 6}, {{{0, 0, 166, 6}, 3, 3, gray, 0.5}, {{0, 0, 71.3, 6}, 3, 3, blue, 1}}},
    // Segments narrower than they are tall: corners half as wide as tall.
    {"narrow segments",
     {40, 6},
     {{{0, 0, 40, 6}, 3, 3, gray, 0.5},
      {{1, 0, 2, 6}, 1, 3, blue, 1},
      {{5, 0, 3.4, 6}, 1.7, 3, orange, 1},
      {{10.5, 0, 5, 6}, 2.5, 3, blue, 1}}},
    // An idle core's two-point stub, and a busier one, over their translucent tracks.
    {"core bars",
     {42, 20},
     {{{0, 0, 20, 20}, 1.5, 1.5, gray, 0.5},
      {{0, 18, 20, 2}, 1.5, 1.5, blue, 1},
      {{22, 0, 20, 20}, 1.5, 1.5, gray, 0.5},
      {{22, 9.7, 20, 10.3}, 1.5, 1.5, blue, 1}}},
    // Translucent over translucent, elliptical corners, nothing on whole pixels.
    {"fractional",
     {60, 24},
     {{{0.3, 0.6, 41.45, 12.2}, 1.5, 1.5, orange, 0.8},
      {{3.7, 13.1, 50.2, 9.35}, 2.5, 4, blue, 1},
      {{20.25, 2.4, 30.5, 17.3}, 6, 3.5, gray, 0.5}}},
};

class ShapeLayerRaster : public ::testing::TestWithParam<std::tuple<int, double, QPointF>> {};

TEST_P(ShapeLayerRaster, MatchesQPainterRoundedRects) {
    const auto& [index, scale, offset] = GetParam();
    const RasterCase& c = rasterCases[index];
    SCOPED_TRACE(c.name);
    const QSizeF size = c.area + QSizeF(2, 2);
    for (const QRgb background : {QRgb(0), qRgb(236, 236, 236)}) {
        const QImage direct = canvas(size, scale, background, offset,
                                     [&](QPainter& p) { paintRoundedShapes(p, c.shapes); });
        const QImage layered = canvas(size, scale, background, offset, [&](QPainter& p) {
            paintLayered(p, QRectF(QPointF(0, 0), c.area), c.shapes);
        });
        expectAlike(layered, direct, c.shapes, size, scale, offset);
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, ShapeLayerRaster,
                         ::testing::Combine(::testing::Range(0, 4),
                                            ::testing::Values(1.0, 1.25, 1.5, 2.0),
                                            ::testing::Values(QPointF(1, 1), QPointF(1.37, 0.61))));

// Under a rotation or a shear, for an outsized area, or while another layer is open, the
// layer declines and draws nothing: the shapes are left to QPainter.
TEST(ShapeLayerFallback, DeclinesWhatItCannotDrawAsQPainterWould) {
    const auto expectDeclined = [](const Draw& prepare, const QRectF& area, bool nested) {
        const QImage painted = canvas({100, 100}, 1.0, 0, {}, [&](QPainter& p) {
            prepare(p);
            ShapeLayer outer(p, QRectF(0, 0, 100, 100), pixels());
            if (!nested) {
                outer.finish();
            }
            paintLayered(p, area, rasterCases[2].shapes, true);
        });
        EXPECT_EQ(painted, canvas({100, 100}, 1.0, 0, {}, [](QPainter&) {}));
    };
    const QRectF area(0, 0, 42, 20);
    expectDeclined([](QPainter& p) { p.setTransform(QTransform(0, 1, -1, 0, 90, 5)); }, area,
                   false);
    expectDeclined([](QPainter& p) { p.setTransform(QTransform(1, 0, 0.2, 1, 10, 5)); }, area,
                   false);
    expectDeclined([](QPainter&) {}, QRectF(0, 0, 5000, 20), false);
    expectDeclined([](QPainter&) {}, area, true);
}

// Whatever the shape, nothing lands outside the area's device pixels (nor, under the address
// sanitizer, outside the layer's); a NaN draws nothing at all, nor does an empty area.
TEST(ShapeLayerBounds, StaysInsideItsArea) {
    const std::vector<QRectF> rects = {{-1e300, -1e300, 2e300, 2e300},
                                       {1e308, 1e308, 1e308, 1e308},
                                       {-50, -50, 20, 20},
                                       {20, 8, 40, 40},
                                       {30, 12, -40, -20},
                                       {6, 5, 0, 5},
                                       {5, 5, 1e-9, 1e-9},
                                       {-3, 2, 200, 1e-3},
                                       {0, 0, inf, inf},
                                       {-5, -5, inf, 3},
                                       {-inf, 2, 30, 3},
                                       {2, -inf, 3, inf},
                                       {nan, 0, 10, 6},
                                       {0, 0, 10, nan},
                                       {-inf, 0, inf, 6}};
    const std::pair<double, double> radii[] = {{3, 3},          {inf, inf},   {-1, 4}, {0, 0},
                                               {1e300, 1e-300}, {1e-9, 1e-9}, {nan, 3}};
    constexpr QRgb sentinel = 0xff123456;
    // A larger layer first, so that the pixels kept for the next one reach beyond its area.
    canvas({200, 100}, 1.0, 0, {}, [](QPainter& p) {
        ShapeLayer(p, QRectF(0, 0, 200, 100), pixels())
            .fillRoundedRect(QRectF(0, 0, 200, 100), 3, 3, Qt::red);
    });
    const QRectF area(4.3, 4.6, 30, 10);
    for (const double scale : {1.0, 1.25, 1.5, 2.0}) {
        const QRect pixels = QRectF(area.topLeft() * scale, area.size() * scale).toAlignedRect();
        for (const QRectF& rect : rects) {
            for (const auto& [rx, ry] : radii) {
                const QImage painted = canvas({40, 20}, scale, sentinel, {}, [&](QPainter& p) {
                    paintLayered(p, area, {{rect, rx, ry, Qt::white, 1.0}});
                });
                const bool undefined = std::isnan(rect.x()) || std::isnan(rect.y()) ||
                                       std::isnan(rect.right()) || std::isnan(rect.bottom()) ||
                                       std::isnan(rx) || std::isnan(ry);
                int outside = 0;
                int changed = 0;
                for (int y = 0; y < painted.height(); ++y) {
                    for (int x = 0; x < painted.width(); ++x) {
                        const bool kept = painted.pixel(x, y) == sentinel;
                        outside += kept || pixels.contains(x, y) ? 0 : 1;
                        changed += kept ? 0 : 1;
                    }
                }
                EXPECT_EQ(outside, 0) << scale << "x: " << rect.x() << "," << rect.y() << " "
                                      << rect.width() << "x" << rect.height() << " r " << rx;
                EXPECT_TRUE(!undefined || changed == 0) << rect.x() << " r " << rx << "," << ry;
            }
        }
    }
    for (const QRectF& empty : {QRectF(4, 4, 0, 10), QRectF(4, 4, 10, -3), QRectF(nan, 4, 9, 9)}) {
        const QImage painted = canvas({40, 20}, 1.0, sentinel, {}, [&](QPainter& p) {
            paintLayered(p, empty, {{QRectF(0, 0, 40, 20), 3, 3, Qt::white, 1.0}});
        });
        EXPECT_EQ(painted.pixel(20, 10), sentinel);
    }
}

} // namespace
} // namespace trovimo

// The pixel code writes a sparkline's area and line straight into pixels; these tests hold
// that raster against the graph's own QPainter drawing and keep it inside its frame.
#include "panel/Sparkline.h"
#include "panel/PanelTestSupport.h"
#include "panel/raster/Rasterizer.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <ostream>
#include <string>

namespace trovimo {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

using test::canvas;

// The pixel code, whatever the environment asks for.
Rasterizer pixelCode() {
    Rasterizer raster;
    raster.setEnabled(true);
    return raster;
}

std::vector<double> values(int count, const std::function<double(int)>& value) {
    std::vector<double> result;
    for (int i = 0; i < count; ++i) {
        result.push_back(value(i));
    }
    return result;
}

struct RasterCase {
    std::string shape;
    std::vector<double> values;
    QSizeF frame;
    double scale;
};

void PrintTo(const RasterCase& c, std::ostream* out) {
    *out << c.shape << " " << c.frame.width() << "x" << c.frame.height() << " at " << c.scale;
}

class SparklineRaster : public ::testing::TestWithParam<RasterCase> {};

// TROVIMO_PAINTER=qpainter leaves everything to QPainter.
TEST(PixelCodeSwitch, TheEnvironmentTurnsItOff) {
    const QByteArray before = qgetenv("TROVIMO_PAINTER");
    qputenv("TROVIMO_PAINTER", "qpainter");
    const Rasterizer off;
    qputenv("TROVIMO_PAINTER", "");
    const Rasterizer on;
    qputenv("TROVIMO_PAINTER", before);
    EXPECT_FALSE(off.enabled());
    EXPECT_TRUE(on.enabled());
}

// Inside the rounded frame every pixel matches QPainter's: closely where no edge of the line
// passes (track, gradient, the line's solid middle), more loosely on the line's antialiased
// edges, where the two rasterisers round partial coverage differently.
TEST_P(SparklineRaster, MatchesQPainter) {
    const RasterCase& c = GetParam();
    const Theme theme = Theme::light();
    const Sparkline sparkline{c.values, 100, ColorRole::blue};
    const QRectF frame(QPointF(0, 0), c.frame);
    const QImage direct = canvas(c.frame, c.scale, [&](QPainter& p) {
        EXPECT_TRUE(pixelCode().paint(p, sparkline, frame, theme));
    });
    const QImage reference =
        canvas(c.frame, c.scale, [&](QPainter& p) { sparkline.paint(p, frame, theme); });
    // Qt's coverage by the line, and by the rounded frame (its corners are left out).
    const auto covered = [&](const QPolygonF& shape) {
        return canvas(c.frame, c.scale, [&](QPainter& p) {
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::black);
            p.drawPolygon(shape, Qt::WindingFill);
        });
    };
    const QImage line = covered(sparkline.outline(c.frame));
    QPainterPath rounded;
    rounded.addRoundedRect(frame, Sparkline::cornerRadius, Sparkline::cornerRadius);
    const QImage inside = covered(rounded.toFillPolygon());

    int compared = 0;
    int edges = 0;
    int offElsewhere = 0;
    int offOnEdges = 0;
    for (int y = 0; y < direct.height(); ++y) {
        for (int x = 0; x < direct.width(); ++x) {
            if (qAlpha(inside.pixel(x, y)) < 255) {
                continue;
            }
            const QRgb a = direct.pixel(x, y);
            const QRgb b = reference.pixel(x, y);
            const int distance = test::channelDistance(a, b);
            const bool edge = qAlpha(line.pixel(x, y)) > 0 && qAlpha(line.pixel(x, y)) < 255;
            ++compared;
            edges += edge ? 1 : 0;
            offOnEdges += edge && distance > 24 ? 1 : 0;
            offElsewhere += !edge && distance > 4 ? 1 : 0;
        }
    }
    ASSERT_GT(compared, direct.width() * direct.height() / 2);
    EXPECT_LE(offElsewhere, compared / 1000);
    EXPECT_LE(offOnEdges, edges / 100) << "of " << edges << " edge pixels";
    if (HasFailure()) {
        const QString name = QStringLiteral(TROVIMO_BINARY_DIR "/sparkline-%1-%2x-")
                                 .arg(QString::fromStdString(c.shape))
                                 .arg(c.scale);
        direct.save(name + QStringLiteral("direct.png"));
        reference.save(name + QStringLiteral("qt.png"));
    }
}

std::vector<RasterCase> rasterCases() {
    const auto wave = values(60, [](int i) { return 50.0 + 40.0 * std::sin(i * 0.35); });
    const auto zigzag = values(60, [](int i) { return i % 2 == 0 ? 0.0 : 100.0; });
    std::vector<RasterCase> cases;
    for (const double scale : {1.0, 1.25, 1.5, 2.0}) {
        const QSizeF graph(166, 30);
        cases.push_back({"flat", std::vector<double>(60, 50.0), graph, scale});
        cases.push_back({"ramp", values(60, [](int i) { return i * 100.0 / 59.0; }), graph, scale});
        cases.push_back({"wave", wave, graph, scale});
        cases.push_back({"zigzag", zigzag, graph, scale});
        // On and beyond both edges, where the line's outline reaches out of the frame.
        cases.push_back(
            {"edges", {-5, 0, 0, 100, 250, 250, 100, 0, nan, 100, 100, inf, 0, 0}, graph, scale});
        // The network graphs: 14 points tall, a fractional number of pixels at 1.25.
        cases.push_back({"wave-network", wave, QSizeF(120, 14), scale});
        cases.push_back({"zigzag-network", zigzag, QSizeF(120, 14), scale});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Shapes, SparklineRaster, ::testing::ValuesIn(rasterCases()));

// A jump from the bottom edge to the top over 5 points: every row it climbs and every column
// it crosses holds a pixel the line mostly covers (the opaque line over the translucent
// track and area: a high alpha).
class SparklineSteepJump : public ::testing::TestWithParam<double> {};

TEST_P(SparklineSteepJump, LeavesNoGaps) {
    const double scale = GetParam();
    const Sparkline sparkline{{0, 0, 0, 0, 100, 100, 100, 100, 100}, 100, ColorRole::orange};
    const QImage jump = canvas(QSizeF(40, 30), scale, [&](QPainter& p) {
        pixelCode().paint(p, sparkline, QRectF(0, 0, 40, 30), Theme::light());
    });
    const auto alpha = [&](int x, int y) { return qAlpha(jump.pixel(x, y)); };
    ASSERT_LT(alpha(static_cast<int>(30 * scale), static_cast<int>(20 * scale)), 160)
        << "the area under the line is translucent";
    const int left = static_cast<int>(15 * scale); // the jump spans x 15 to 20
    const int right = static_cast<int>(std::ceil(20 * scale));
    for (int y = static_cast<int>(2 * scale); y < static_cast<int>(28 * scale); ++y) {
        int strongest = 0;
        for (int x = left; x < right; ++x) {
            strongest = std::max(strongest, alpha(x, y));
        }
        EXPECT_GE(strongest, 190) << "row " << y;
    }
    for (int x = left; x < right; ++x) {
        int strongest = 0;
        for (int y = 0; y < jump.height(); ++y) {
            strongest = std::max(strongest, alpha(x, y));
        }
        EXPECT_GE(strongest, 190) << "column " << x;
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, SparklineSteepJump, ::testing::Values(1.0, 1.25, 1.5, 2.0));

// Whatever the values, limits and frame, nothing is written outside the frame's pixels
// (and under the address sanitizer, nothing outside the layer behind them either).
TEST(SparklineBounds, StaysInsideItsFrame) {
    const std::vector<std::vector<double>> valueSets = {
        {nan, inf, -inf, 1e308, -1e308, 100, 0},
        {inf, inf, inf},
        {nan, nan},
        {1e300, 0, 1e300, 0, 1e300},
        std::vector<double>(2000, 50.0),
        values(2000, [](int i) { return i % 2 == 0 ? -1e308 : 1e308; }),
    };
    constexpr QRgb sentinel = 0xff123456;
    for (const double scale : {1.0, 1.25, 1.5, 2.0}) {
        for (const QSizeF frame : {QSizeF(60, 14), QSizeF(60, 1), QSizeF(1, 14), QSizeF(0.01, 14),
                                   QSizeF(0, 14), QSizeF(60, 0.3)}) {
            // The frame sits 4 points in: a whole number of pixels at each of these scales.
            const QRect pixels(static_cast<int>(4 * scale), static_cast<int>(4 * scale),
                               static_cast<int>(std::ceil(frame.width() * scale)),
                               static_cast<int>(std::ceil(frame.height() * scale)));
            for (const std::vector<double>& set : valueSets) {
                for (const double limit : {100.0, 1e-300, 1e300, inf, nan}) {
                    const QImage painted = canvas(frame + QSizeF(8, 8), scale, [&](QPainter& p) {
                        p.fillRect(QRectF(-1, -1, 1e4, 1e4), QColor(sentinel));
                        pixelCode().paint(p, Sparkline{set, limit, ColorRole::green},
                                          QRectF(QPointF(4, 4), frame), Theme::light());
                    });
                    int outside = 0;
                    for (int y = 0; y < painted.height(); ++y) {
                        for (int x = 0; x < painted.width(); ++x) {
                            outside += !pixels.contains(x, y) && painted.pixel(x, y) != sentinel;
                        }
                    }
                    EXPECT_EQ(outside, 0)
                        << "scale " << scale << ", frame " << frame.width() << "x" << frame.height()
                        << ", limit " << limit << ", " << set.size() << " values";
                }
            }
        }
    }
}

} // namespace
} // namespace trovimo

#include "panel/CapacityBar.h"
#include "panel/CoreBars.h"
#include "panel/PaintCache.h"
#include "panel/PanelPainter.h"
#include "panel/PanelTestSupport.h"
#include "panel/SegmentedBar.h"
#include "panel/Sparkline.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace trovimo {
namespace {

struct FillCase {
    double fraction;
    double trackWidth;
    double expected;
};

class CapacityBarFill : public ::testing::TestWithParam<FillCase> {};

TEST_P(CapacityBarFill, ClampsToTrackAndKeepsStub) {
    const FillCase& c = GetParam();
    const CapacityBar bar{c.fraction, CapacityLevel::normal};
    EXPECT_DOUBLE_EQ(bar.fillWidth(c.trackWidth), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CapacityBarFill,
    ::testing::Values(FillCase{0.0, 200, 4}, FillCase{-0.5, 200, 4}, FillCase{0.01, 200, 4},
                      FillCase{0.021, 200, 4.2}, FillCase{0.5, 200, 100}, FillCase{1.0, 200, 200},
                      FillCase{1.7, 200, 200},
                      FillCase{std::numeric_limits<double>::quiet_NaN(), 200, 4},
                      FillCase{std::numeric_limits<double>::infinity(), 166, 166}));

TEST(SegmentedBar, SharesKeepTheirOwnWidthsAndTinyOnesDrop) {
    using Segments = std::vector<SegmentedBar::Segment>;
    const std::tuple<Segments, double, std::vector<QRectF>> cases[] = {
        // Two apart, not rescaled to fill the track.
        {{{0.5, ColorRole::blue}, {0.25, ColorRole::teal}}, 200, {{0, 0, 98, 6}, {100, 0, 48, 6}}},
        // At or below the threshold: no width and no gap.
        {{{0.005, ColorRole::gray}}, 200, {}},
        {{{-1.0, ColorRole::gray}}, 200, {}},
        {{{0.005, ColorRole::gray}, {0.25, ColorRole::blue}}, 200, {{0, 0, 48, 6}}},
        // Just above it: the two-point minimum; above 1: one full track less the gap.
        {{{0.006, ColorRole::gray}, {3.0, ColorRole::blue}}, 100, {{0, 0, 2, 6}, {4, 0, 98, 6}}},
    };
    for (const auto& [segments, track, expected] : cases) {
        std::vector<QRectF> placed;
        for (const SegmentedBar::PlacedSegment& segment : SegmentedBar{segments}.layout(track)) {
            placed.push_back(segment.rect);
        }
        EXPECT_EQ(placed, expected) << segments.front().fraction;
    }
}

TEST(CoreBars, BarHeightsFollowLoadsWithTwoPointMinimum) {
    EXPECT_TRUE(CoreBars{}.layout(QSizeF(166, 20)).empty());
    const auto cells = CoreBars{{0.0, 0.5, 1.0, -0.3}}.layout(QSizeF(86, 20));
    ASSERT_EQ(cells.size(), 4u);
    const double expectedHeights[] = {2, 10, 20, 2};
    for (std::size_t i = 0; i < cells.size(); ++i) {
        EXPECT_DOUBLE_EQ(cells[i].bar.height(), expectedHeights[i]) << i;
        EXPECT_DOUBLE_EQ(cells[i].bar.bottom(), cells[i].track.bottom()) << i;
    }
}

// Busy and idle cores alternate, so a core whose bar bleeds into its neighbour's pixels or
// is lost between them shows up, at every scale and by both ways of painting; a fractional
// strip top, as the panel's text rows leave it, for good measure.
class CoreBarsCount : public ::testing::TestWithParam<std::size_t> {};

TEST_P(CoreBarsCount, EveryCoreShowsInPixelsOfItsOwnInsideTheStrip) {
    std::vector<double> loads(GetParam());
    for (std::size_t core = 0; core < loads.size(); core += 2) {
        loads[core] = 1.0;
    }
    const CoreBars bars{loads};
    const Theme theme = Theme::light();
    const QRectF strip(12, 30.3, 166, 20);
    for (const bool raster : {true, false}) {
        for (const double scale : {1.0, 1.5, 2.0}) {
            SCOPED_TRACE(testing::Message() << scale << (raster ? "x, pixel code" : "x, QPainter"));
            PaintCache cache;
            cache.raster.setEnabled(raster);
            const QImage image = test::canvas({190, 60}, scale, [&](QPainter& painter) {
                panelPainter::paintGauge(painter, bars, strip, theme, cache);
            });
            const QRect inside =
                QRectF(strip.topLeft() * scale, strip.size() * scale).toAlignedRect();
            int outside = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    outside += !inside.contains(x, y) && qAlpha(image.pixel(x, y)) != 0 ? 1 : 0;
                }
            }
            EXPECT_EQ(outside, 0);

            const auto cells = bars.layout(strip.size(), scale, strip.topLeft() * scale);
            ASSERT_EQ(cells.size(), loads.size());
            int unseen = 0;
            for (std::size_t core = 0; core < cells.size(); ++core) {
                const QRectF track = cells[core].track.translated(strip.topLeft());
                // The middle of the core's own columns, a quarter down its row: above an idle
                // core's stub, inside a busy core's bar.
                const QPoint probe(static_cast<int>(std::floor(track.center().x() * scale)),
                                   static_cast<int>((track.top() + track.height() / 4) * scale));
                const QRgb pixel = image.pixel(probe);
                const bool blue = qAlpha(pixel) > 200 && qBlue(pixel) > qRed(pixel) + 100;
                unseen += blue == (loads[core] > 0.5) ? 0 : 1;
            }
            EXPECT_EQ(unseen, 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Machines, CoreBarsCount,
                         ::testing::Values(1u, 2u, 8u, 64u, 96u, 128u, 256u, 512u));

// Points span the frame, values outside the range (NaN too) lie on its edges, the area
// closes along the bottom edge; too few values or no positive limit draw no curve.
TEST(Sparkline, PointsAndArea) {
    const Sparkline line{{0, 50, 100}, 100, ColorRole::blue};
    EXPECT_EQ(line.points(QSizeF(100, 20)), (std::vector<QPointF>{{0, 20}, {50, 10}, {100, 0}}));
    const QPolygonF area = line.area(QSizeF(100, 20));
    EXPECT_EQ(area.size(), 5);
    EXPECT_EQ(area.front(), QPointF(0, 20));
    EXPECT_EQ(area.back(), QPointF(100, 20));
    const Sparkline outside{{-5, 250, std::nan("")}, 100, ColorRole::orange};
    EXPECT_EQ(outside.points(QSizeF(60, 14)), (std::vector<QPointF>{{0, 14}, {30, 0}, {60, 14}}));
    EXPECT_TRUE((Sparkline{{42}, 100, ColorRole::blue}.points(QSizeF(100, 20)).empty()));
    EXPECT_TRUE((Sparkline{{1, 2}, 0, ColorRole::blue}.points(QSizeF(100, 20)).empty()));
    EXPECT_TRUE((Sparkline{{1, 2}, -1, ColorRole::blue}.area(QSizeF(100, 20)).isEmpty()));
}

// Without a curve the track still shows, with its dashed mid-line (2 on, 3 off).
TEST(Sparkline, EmptyGraphPaintsItsTrackAndDashes) {
    PaintCache cache;
    const QImage image = test::canvas({120, 40}, 1.0, [&](QPainter& painter) {
        panelPainter::paintGauge(painter, Sparkline{{7}, 100, ColorRole::blue},
                                 QRectF(10, 10, 100, 20), Theme::light(), cache);
    });
    EXPECT_GT(qAlpha(image.pixel(60, 15)), 0);
    int dashed = 0;
    for (int x = 10; x < 110; ++x) {
        dashed += qAlpha(image.pixel(x, 20)) > qAlpha(image.pixel(x, 15)) ? 1 : 0;
    }
    EXPECT_GT(dashed, 20);
    EXPECT_LT(dashed, 80);
}

// A full graph fills its frame up to the rounded corners, which stay cut, at every scale
// (the layer the series is drawn into follows the device pixels) and by both ways of painting.
class SparklineCorners : public ::testing::TestWithParam<std::tuple<double, bool>> {};

TEST_P(SparklineCorners, FullGraphIsCutAtTheRoundedCorners) {
    const auto [scale, raster] = GetParam();
    const Theme theme = Theme::light();
    QImage image(static_cast<int>(120 * scale), static_cast<int>(40 * scale),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.scale(scale, scale);
        PaintCache cache;
        cache.raster.setEnabled(raster);
        panelPainter::paintGauge(painter, Sparkline{{100, 100, 100}, 100, ColorRole::blue},
                                 QRectF(10, 10, 100, 20), theme, cache);
    }
    const auto at = [&](double x, double y) {
        return qAlpha(image.pixel(static_cast<int>(x * scale), static_cast<int>(y * scale)));
    };
    const int inside = at(10.5, 25);
    EXPECT_GT(at(60, 11), 0) << "the line along the top";
    EXPECT_GT(inside, 0) << "the area down to the bottom edge";
    for (const QPointF corner :
         {QPointF(10.2, 10.2), QPointF(109.8, 10.2), QPointF(10.2, 29.8), QPointF(109.8, 29.8)}) {
        EXPECT_LT(at(corner.x(), corner.y()), 64) << corner.x() << "," << corner.y();
    }
    EXPECT_EQ(at(5, 5), 0) << "outside the frame";
    EXPECT_EQ(at(60, 32), 0) << "below the frame";
}

INSTANTIATE_TEST_SUITE_P(Scales, SparklineCorners,
                         ::testing::Combine(::testing::Values(1.0, 1.5, 2.0), ::testing::Bool()));

} // namespace
} // namespace trovimo

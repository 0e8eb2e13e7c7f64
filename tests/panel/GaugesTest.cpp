#include "panel/CapacityBar.h"
#include "panel/CoreBars.h"
#include "panel/SegmentedBar.h"
#include "panel/Sparkline.h"
#include "panel/raster/PaintCache.h"

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

TEST(CapacityBar, LevelPicksFillColour) {
    EXPECT_EQ(CapacityBar::fillColor(CapacityLevel::normal), ColorRole::blue);
    EXPECT_EQ(CapacityBar::fillColor(CapacityLevel::warning), ColorRole::orange);
    EXPECT_EQ(CapacityBar::fillColor(CapacityLevel::critical), ColorRole::red);
}

TEST(SegmentedBar, LaysOutVisibleSegmentsTwoApartWithoutRescaling) {
    const SegmentedBar bar{{{0.5, ColorRole::blue}, {0.25, ColorRole::teal}}};
    const auto placed = bar.layout(200);
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(placed[0].rect, QRectF(0, 0, 98, 6));
    EXPECT_EQ(placed[0].color, ColorRole::blue);
    EXPECT_EQ(placed[1].rect, QRectF(100, 0, 48, 6));
    EXPECT_EQ(placed[1].color, ColorRole::teal);
}

TEST(SegmentedBar, DropsSharesAtOrBelowThresholdWithoutLeavingGaps) {
    EXPECT_TRUE((SegmentedBar{{{0.004, ColorRole::gray}}}.layout(200).empty()));
    EXPECT_TRUE((SegmentedBar{{{0.005, ColorRole::gray}}}.layout(200).empty()));
    EXPECT_TRUE((SegmentedBar{{{-1.0, ColorRole::gray}}}.layout(200).empty()));
    const auto placed =
        SegmentedBar{{{0.005, ColorRole::gray}, {0.25, ColorRole::blue}}}.layout(200);
    ASSERT_EQ(placed.size(), 1u);
    EXPECT_EQ(placed[0].rect, QRectF(0, 0, 48, 6));
}

TEST(SegmentedBar, TinyAndOversizedSharesStayWithinTheirRules) {
    // Just above the threshold: the two-point minimum; above 1: one full track less the gap.
    const auto placed =
        SegmentedBar{{{0.006, ColorRole::gray}, {3.0, ColorRole::blue}}}.layout(100);
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_DOUBLE_EQ(placed[0].rect.width(), 2.0);
    EXPECT_DOUBLE_EQ(placed[1].rect.left(), 4.0);
    EXPECT_DOUBLE_EQ(placed[1].rect.width(), 98.0);
}

TEST(CoreBars, BarHeightsFollowLoadsWithTwoPointMinimum) {
    const CoreBars bars{{0.0, 0.5, 1.0, -0.3}};
    const auto cells = bars.layout(QSizeF(86, 20));
    ASSERT_EQ(cells.size(), 4u);
    const double expectedHeights[] = {2, 10, 20, 2};
    for (std::size_t i = 0; i < cells.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_DOUBLE_EQ(cells[i].track.width(), 20.0); // (86 - 3 * 2) / 4
        EXPECT_DOUBLE_EQ(cells[i].track.left(), static_cast<double>(i) * 22.0);
        EXPECT_DOUBLE_EQ(cells[i].track.height(), 20.0);
        EXPECT_DOUBLE_EQ(cells[i].bar.height(), expectedHeights[i]);
        EXPECT_DOUBLE_EQ(cells[i].bar.bottom(), 20.0);
        EXPECT_DOUBLE_EQ(cells[i].bar.width(), cells[i].track.width());
    }
}

TEST(CoreBars, EmptyListDrawsNothing) {
    EXPECT_TRUE(CoreBars{}.layout(QSizeF(166, 20)).empty());
}

// Busy and idle cores alternate, so a core whose bar bleeds into its neighbour's pixels or
// is lost between them shows up, at every scale; a fractional strip top, as the panel's
// text rows leave it, for good measure.
class CoreBarsCount : public ::testing::TestWithParam<std::size_t> {};

TEST_P(CoreBarsCount, EveryCoreShowsInPixelsOfItsOwnInsideTheStrip) {
    std::vector<double> loads(GetParam());
    for (std::size_t core = 0; core < loads.size(); core += 2) {
        loads[core] = 1.0;
    }
    const CoreBars bars{loads};
    const Theme theme = Theme::light();
    const QRectF strip(12, 30.3, 166, 20);
    for (const double scale : {1.0, 1.5, 2.0}) {
        SCOPED_TRACE(scale);
        QImage image(QSize(190, 60) * scale, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        PaintCache cache;
        bars.paint(painter, strip, theme, cache);
        painter.end();
        const QRect inside = QRectF(strip.topLeft() * scale, strip.size() * scale).toAlignedRect();
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

INSTANTIATE_TEST_SUITE_P(Machines, CoreBarsCount,
                         ::testing::Values(1u, 2u, 8u, 64u, 96u, 128u, 256u, 512u));

TEST(Sparkline, PointsSpanFrameAndAreaClosesOnBottomEdge) {
    const Sparkline line{{0, 50, 100}, 100, ColorRole::blue};
    const auto points = line.points(QSizeF(100, 20));
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[0], QPointF(0, 20));
    EXPECT_EQ(points[1], QPointF(50, 10));
    EXPECT_EQ(points[2], QPointF(100, 0));
    const QPolygonF area = line.area(QSizeF(100, 20));
    ASSERT_EQ(area.size(), 5);
    EXPECT_EQ(area.front(), QPointF(0, 20));
    EXPECT_EQ(area.back(), QPointF(100, 20));
}

TEST(Sparkline, ValuesOutsideRangeLieOnTheEdges) {
    const Sparkline line{
        {-5, 250, std::numeric_limits<double>::quiet_NaN()}, 100, ColorRole::orange};
    const auto points = line.points(QSizeF(60, 14));
    ASSERT_EQ(points.size(), 3u);
    EXPECT_DOUBLE_EQ(points[0].y(), 14.0);
    EXPECT_DOUBLE_EQ(points[1].y(), 0.0);
    EXPECT_DOUBLE_EQ(points[2].y(), 14.0);
}

TEST(Sparkline, DegenerateInputsHaveNoCurve) {
    EXPECT_TRUE((Sparkline{{42}, 100, ColorRole::blue}.points(QSizeF(100, 20)).empty()));
    EXPECT_TRUE((Sparkline{{}, 100, ColorRole::blue}.points(QSizeF(100, 20)).empty()));
    EXPECT_TRUE((Sparkline{{1, 2}, 0, ColorRole::blue}.points(QSizeF(100, 20)).empty()));
    EXPECT_TRUE((Sparkline{{1, 2}, -1, ColorRole::blue}.area(QSizeF(100, 20)).isEmpty()));
}

// The degenerate sparkline still paints its background and dashed mid-line, and the curve
// stays inside its rounded frame.
TEST(Sparkline, PaintsBackgroundDashesAndClipsToFrame) {
    const Theme theme = Theme::light();
    QImage image(120, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        PaintCache cache;
        Sparkline{{7}, 100, ColorRole::blue}.paint(painter, QRectF(10, 10, 100, 20), theme, cache);
    }
    EXPECT_GT(qAlpha(image.pixel(60, 15)), 0) << "background";
    EXPECT_EQ(qAlpha(image.pixel(5, 5)), 0) << "outside the frame";
    // Dashes: 2 on, 3 off along the mid-line at y = 20.
    int dashed = 0;
    for (int x = 10; x < 110; ++x) {
        dashed += qAlpha(image.pixel(x, 20)) > qAlpha(image.pixel(x, 15)) ? 1 : 0;
    }
    EXPECT_GT(dashed, 20);
    EXPECT_LT(dashed, 80);

    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        PaintCache cache;
        Sparkline{{200, 200}, 100, ColorRole::blue}.paint(painter, QRectF(10, 10, 100, 20), theme,
                                                          cache);
    }
    EXPECT_EQ(qAlpha(image.pixel(60, 9)), 0) << "line half-width cut at the top edge";
}

// A full graph fills its frame up to the rounded corners, which stay cut, at every scale
// (the layer the series is drawn into follows the device pixels).
class SparklineCorners : public ::testing::TestWithParam<double> {};

TEST_P(SparklineCorners, FullGraphIsCutAtTheRoundedCorners) {
    const double scale = GetParam();
    const Theme theme = Theme::light();
    QImage image(static_cast<int>(120 * scale), static_cast<int>(40 * scale),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.scale(scale, scale);
        PaintCache cache;
        Sparkline{{100, 100, 100}, 100, ColorRole::blue}.paint(painter, QRectF(10, 10, 100, 20),
                                                               theme, cache);
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

INSTANTIATE_TEST_SUITE_P(Scales, SparklineCorners, ::testing::Values(1.0, 1.5, 2.0));

} // namespace
} // namespace trovimo

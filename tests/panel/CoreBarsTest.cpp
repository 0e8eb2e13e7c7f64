#include "panel/CoreBars.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

namespace trovimo {
namespace {

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
        {
            QPainter painter(&image);
            bars.paint(painter, strip, theme);
        }
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

} // namespace
} // namespace trovimo

// The frame, the hairlines and rolling digits, painted and looked at pixel by pixel.
#include "panel/PanelSnapshotSupport.h"

namespace trovimo {
namespace {

using namespace snapshot;

// A repaint redraws the frame under each changed rectangle alone; pieced together, the pieces
// are the frame painted whole, corners and border included.
TEST(PanelSnapshotFrame, RepaintedPiecesAreTheWholeFrame) {
    const Theme theme = Theme::light();
    const QSizeF size(PanelMetrics::width, 533);
    for (const double scale : {1.0, 1.5, 2.0}) {
        SCOPED_TRACE(scale);
        const QImage whole = test::canvas(size, scale, [&](QPainter& painter) {
            panelPainter::paintFrame(painter, size, theme);
        });
        // One repaint per piece: a region would merge them back into one rectangle.
        const QImage pieced = test::canvas(
            size, scale,
            [&](QPainter& painter) {
                for (int y = 0; y < size.height(); y += 13) {
                    for (int x = 0; x < size.width(); x += 37) {
                        panelPainter::paintFrame(painter, size, theme, QRegion(x, y, 37, 13));
                    }
                }
            },
            qRgba(200, 10, 10, 255));
        EXPECT_EQ(pieced, whole);
    }
}

// A point-wide line (a divider, a graph's dashed middle) lies on whole device rows at every
// scale, drawn by the pixel code or by QPainter: as many rows as make a point, all of one
// colour, no row of half strength beside them.
TEST(PanelSnapshotLines, DividersAndMidLinesAreCrispAtEveryScale) {
    const Theme theme = Theme::dark();
    PanelInputs inputs; // before the first sample: every graph shows its mid-line alone
    inputs.now = afternoon;
    inputs.clock = &japaneseClock();
    const PanelLayoutResult layout = layoutPanel(inputs, theme);
    QRectF divider; // the first of each
    QRectF graph;
    for (const PanelElement& element : layout.elements) {
        if (divider.isNull() && std::holds_alternative<DividerElement>(element)) {
            divider = elementRect(element);
        } else if (graph.isNull() && std::holds_alternative<SparklineElement>(element)) {
            graph = elementRect(element);
        }
    }
    for (const auto& [scale, raster] : {std::pair{1.0, true},
                                        {1.5, true},
                                        {2.0, true},
                                        {1.0, false},
                                        {1.5, false},
                                        {2.0, false}}) {
        SCOPED_TRACE(testing::Message() << scale << (raster ? "x, pixel code" : "x, QPainter"));
        const QImage image = paintPanel(layout, theme, scale, raster, nullptr, {});
        // The pixels of column `x` from `top` to `bottom` that differ from column `beside`.
        const auto lineRows = [&](double x, double beside, double top, double bottom) {
            std::vector<QRgb> rows;
            for (int y = static_cast<int>(top * scale); y < static_cast<int>(bottom * scale); ++y) {
                const QRgb pixel = image.pixel(static_cast<int>(x * scale), y);
                if (pixel != image.pixel(static_cast<int>(beside * scale), y)) {
                    rows.push_back(pixel);
                }
            }
            return rows;
        };
        // Dashes 2 on, 3 off from the graph's left edge: 80.5 is on, 83.5 off.
        for (const auto& rows : {lineRows(95, 6, divider.top() - 3, divider.bottom() + 3),
                                 lineRows(graph.left() + 80.5, graph.left() + 83.5, graph.top() + 2,
                                          graph.bottom() - 2)}) {
            ASSERT_EQ(rows.size(), static_cast<std::size_t>(std::round(scale)));
            EXPECT_EQ(std::count(rows.begin(), rows.end(), rows.front()),
                      static_cast<std::ptrdiff_t>(rows.size()));
        }
    }
}

// Mid-roll, the changed digits of the CPU value sit between their old and new places while
// the unchanged ones stay put.
TEST(PanelSnapshotRoll, RollingDigitsPaintBetweenOldAndNewText) {
    const Theme theme = Theme::light();
    PanelInputs inputs = busyMachine();
    inputs.settings.animateValues = true;
    const NumberRoller::Clock::time_point start{};
    NumberRoller roller;
    roller.observe(layoutPanel(inputs, theme).elements, true, start);
    test::stats(inputs).cpu->total = 0.47;
    const PanelLayoutResult layout = layoutPanel(inputs, theme);
    roller.observe(layout.elements, true, start);

    const TextElement* value = test::findText(layout, QStringLiteral("47%"));
    ASSERT_NE(value, nullptr);
    ASSERT_TRUE(value->animation);
    const QImage rolling =
        render(layout, theme, 2.0, QStringLiteral("rolling-light-2x"), &roller, start + 60ms);
    const QImage settled = paintPanel(layout, theme, 2.0, true, &roller, start + 300ms);
    const QRgb background = pixelAt(settled, {95, layout.size.height() - 4});
    const double width = value->rect.width();
    const QRectF lastDigits(value->rect.right() - width * 0.6, value->rect.top(), width * 0.6,
                            value->rect.height());
    const QRect pixels = QRectF(lastDigits.topLeft() * 2, lastDigits.size() * 2).toRect();
    EXPECT_NE(rolling.copy(pixels), settled.copy(pixels));
    EXPECT_GT(count(rolling, value->rect, ink(background)), 20);
}

} // namespace
} // namespace trovimo

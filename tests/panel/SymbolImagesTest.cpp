#include "panel/SymbolImages.h"
#include "panel/PanelPainter.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace trovimo {
namespace {

// The small symbols stay sharp: each lands on whole device pixels, one image pixel to one
// device pixel wherever the layout puts it, and at 1x nearly every pixel is either ink or
// empty (rasterised vector art at 9 pixels is mostly half-covered pixels: a blur).
class SymbolSharpness : public ::testing::TestWithParam<double> {};

TEST_P(SymbolSharpness, LandOnWholePixelsAndStayCrispAt1x) {
    const double scale = GetParam();
    const Theme theme = Theme::light();
    for (const Symbol symbol :
         {Symbol::gearshapeFill, Symbol::pinFill, Symbol::pinSlash, Symbol::arrowUpForwardSquare,
          Symbol::exclamationmarkTriangleFill}) {
        SCOPED_TRACE(SymbolImages::name(symbol).toStdString());
        QImage canvas(QSize(30, 30) * scale, QImage::Format_ARGB32_Premultiplied);
        canvas.setDevicePixelRatio(scale);
        canvas.fill(Qt::transparent);
        {
            QPainter painter(&canvas);
            PanelPainter::paintElement(
                painter, SymbolElement{QRectF(10.3, 7.7, 11, 11), symbol, 9.0, ColorRole::red},
                theme);
        }
        const QImage art = SymbolImages::image(symbol, 9.0, theme.color(ColorRole::red), scale);
        const auto coverage = [](const QImage& image) {
            int total = 0;
            int ink = 0;
            int partial = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const int alpha = qAlpha(image.pixel(x, y));
                    total += alpha;
                    ink += alpha > 0 ? 1 : 0;
                    partial += alpha > 0 && alpha < 255 ? 1 : 0;
                }
            }
            return std::tuple{total, ink, partial};
        };
        const auto [painted, ink, partial] = coverage(canvas);
        EXPECT_EQ(painted, std::get<0>(coverage(art))) << "resampled";
        EXPECT_GT(ink, 20 * scale * scale);
        if (scale == 1.0) {
            EXPECT_LE(partial * 10, ink) << partial << " of " << ink << " pixels half-covered";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, SymbolSharpness, ::testing::Values(1.0, 1.5, 2.0));

} // namespace
} // namespace trovimo

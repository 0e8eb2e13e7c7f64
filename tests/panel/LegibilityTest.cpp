// What keeps the panel legible: headline weights in every locale, Japanese line breaks,
// small symbols on whole pixels.
#include "panel/PaintCache.h"
#include "panel/PanelLayout.h"
#include "panel/PanelPainter.h"
#include "panel/PanelTestSupport.h"

#include <QFontDatabase>
#include <QGlyphRun>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <cmath>

namespace trovimo {
namespace {

// The clock and the CPU and GPU figures are semibold whatever face the locale makes of the
// application font: every glyph of them comes from a face that has the weight, not a
// lighter one asked for more. CTest runs this once more under a Japanese locale.
TEST(HeadlineFonts, SemiboldTextsComeFromFacesWithTheWeight) {
    PanelInputs inputs;
    test::stats(inputs).cpu = CPULoad{0.452, {0.5}};
    test::stats(inputs).gpu = 0.18;
    const Theme theme = Theme::light();
    const PanelLayoutResult layout = layoutPanel(inputs, theme);
    int checked = 0;
    for (const PanelElement& element : layout.elements) {
        const auto* text = std::get_if<TextElement>(&element);
        if (text == nullptr || text->font.weight < QFont::DemiBold) {
            continue;
        }
        ++checked;
        QTextLayout shaped(text->text, theme.font(text->font));
        shaped.beginLayout();
        shaped.createLine();
        shaped.endLayout();
        for (const QGlyphRun& run : shaped.glyphRuns()) {
            const QRawFont face = run.rawFont();
            EXPECT_GE(QFontDatabase::weight(face.familyName(), face.styleName()), QFont::DemiBold)
                << text->text.toStdString() << ": " << face.familyName().toStdString() << " "
                << face.styleName().toStdString();
        }
    }
    EXPECT_GE(checked, 3); // the time, CPU and GPU
}

// Japanese comes from a face with TrueType outlines where one is installed, whatever the locale
// calls it: under a Japanese locale the font list names it "IPAexゴシック".
TEST(HeadlineFonts, JapaneseFromTheTrueTypeFaceUnderEveryLocale) {
    if (!QFontDatabase::hasFamily(QStringLiteral("IPAexGothic"))) {
        GTEST_SKIP() << "IPAexGothic is not installed";
    }
    const QFont font = Theme::light().font(FontSpec{});
    EXPECT_TRUE(font.families().contains(QStringLiteral("IPAexGothic")))
        << font.families().join(QStringLiteral(", ")).toStdString();
}

// The disk alert as the panel paints it, at every scale, with and without the year in the
// clock: as many lines as plain word wrap takes, painted as the layout placed them, and the
// last one more than a lone character.
class DiskAlertLines : public ::testing::TestWithParam<std::tuple<double, bool>> {};

TEST_P(DiskAlertLines, PaintAsPlacedWithoutAnOrphan) {
    const auto [scale, year] = GetParam();
    PanelInputs inputs;
    inputs.settings.detailed.set(Block::clock, year);
    test::stats(inputs).disk = DiskUsage{999'000'000'000, 1'000'000'000'000, 0, 0};
    const Theme theme = Theme::light();
    const PanelLayoutResult layout = layoutPanel(inputs, theme);
    const TextElement* alert = nullptr;
    for (const PanelElement& element : layout.elements) {
        const auto* text = std::get_if<TextElement>(&element);
        alert = text != nullptr && text->wrap && text->color == ColorRole::red ? text : alert;
    }
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->rect.height(),
              theme.wrappedHeight(alert->text, alert->font, alert->rect.width()));
    PaintCache cache;
    const QImage image = test::canvas(
        layout.size, scale,
        [&](QPainter& painter) { panelPainter::paintElement(painter, *alert, theme, cache); },
        qRgb(255, 255, 255));
    // Runs of rows with ink are the painted lines, measured by their widest row.
    std::vector<int> lineWidths;
    bool inLine = false;
    for (int y = 0; y < image.height(); ++y) {
        int left = image.width();
        int right = -1;
        for (int x = 0; x < image.width(); ++x) {
            if (qGreen(image.pixel(x, y)) < 160) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
        if (right >= left && !inLine) {
            lineWidths.push_back(0);
        }
        inLine = right >= left;
        if (inLine) {
            lineWidths.back() = std::max(lineWidths.back(), right - left + 1);
        }
    }
    ASSERT_GE(lineWidths.size(), 2U);
    EXPECT_EQ(lineWidths.size(), alert->lineBreaks.size() + 1);
    EXPECT_GE(lineWidths.back(), 3 * Theme::pixelSize(TextStyle::caption2) * scale);
}

INSTANTIATE_TEST_SUITE_P(Scales, DiskAlertLines,
                         ::testing::Combine(::testing::Values(1.0, 1.5, 2.0), ::testing::Bool()));

// The small symbols stay sharp: painted one image pixel to one whole device pixel wherever
// the layout puts them, and at 1x nearly every pixel either ink or empty (vector art
// rasterised at 9 pixels is mostly half-covered pixels: a blur).
class SymbolSharpness : public ::testing::TestWithParam<double> {};

TEST_P(SymbolSharpness, LandOnWholePixelsAndStayCrispAt1x) {
    const double scale = GetParam();
    const Theme theme = Theme::light();
    for (const Symbol symbol :
         {Symbol::settings, Symbol::pinned, Symbol::unpinned, Symbol::openPage, Symbol::alert}) {
        SCOPED_TRACE(SymbolImages::name(symbol).toStdString());
        const SymbolElement element{QRectF(10.3, 7.7, 11, 11), symbol, 9.0, ColorRole::red};
        PaintCache cache;
        const QImage canvas = test::canvas({30, 30}, scale, [&](QPainter& painter) {
            panelPainter::paintElement(painter, element, theme, cache);
        });

        const QImage art = cache.symbols.image(symbol, 9.0, theme.color(ColorRole::red), scale);
        const QPointF centre = element.rect.center() * scale;
        const QPoint corner(static_cast<int>(std::round(centre.x() - art.width() / 2.0)),
                            static_cast<int>(std::round(centre.y() - art.height() / 2.0)));
        EXPECT_EQ(canvas.copy(QRect(corner, art.size())), art) << "resampled or shifted";
        int ink = 0;
        int partial = 0;
        for (int y = 0; y < art.height(); ++y) {
            for (int x = 0; x < art.width(); ++x) {
                const int alpha = qAlpha(art.pixel(x, y));
                ink += alpha > 0 ? 1 : 0;
                partial += alpha > 0 && alpha < 255 ? 1 : 0;
            }
        }
        EXPECT_GT(ink, 20 * scale * scale);
        if (scale == 1.0) {
            EXPECT_LE(partial * 10, ink) << partial << " of " << ink << " pixels half-covered";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, SymbolSharpness, ::testing::Values(1.0, 1.5, 2.0));

} // namespace
} // namespace trovimo

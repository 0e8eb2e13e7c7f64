#include "panel/PanelLayout.h"

#include <QFontDatabase>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>

#include <gtest/gtest.h>

namespace trovimo {
namespace {

// The clock and the CPU and GPU figures are semibold whatever face the locale makes of the
// application font: every glyph of them comes from a face that has the weight, not a
// lighter one asked for more. CTest runs this once more under a Japanese locale.
TEST(HeadlineFonts, SemiboldTextsComeFromFacesWithTheWeight) {
    PanelInputs inputs;
    inputs.stats.cpu = CPULoad{0.452, {0.5}};
    inputs.stats.gpu = 0.18;
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

} // namespace
} // namespace trovimo

#include "app/AboutView.h"

#include <QFontDatabase>
#include <QGlyphRun>
#include <QLabel>
#include <QRawFont>
#include <QTextLayout>

#include <gtest/gtest.h>

namespace trovimo {
namespace {

TEST(AboutView, VersionLine) {
    using Case = std::tuple<std::optional<QString>, std::optional<QString>, const char*>;
    const Case cases[] = {
        {QStringLiteral("2.0"), QStringLiteral("57"), "バージョン 2.0 (57)"},
        {QStringLiteral("2.0"), std::nullopt, "バージョン 2.0 (?)"},
        {std::nullopt, std::nullopt, "バージョン ? (?)"},
        // An empty constant (a build outside git) counts as missing.
        {QString(), QStringLiteral("12"), "バージョン ? (12)"},
    };
    for (const auto& [version, build, line] : cases) {
        SCOPED_TRACE(line);
        EXPECT_EQ(AboutView::versionLine({version, build, std::nullopt}), QString::fromUtf8(line));
    }
}

TEST(AboutView, CopyrightFallsBackWhenMissingOrEmpty) {
    EXPECT_EQ(AboutView::copyrightText({}), AboutView::fallbackCopyright());
    EXPECT_EQ(AboutView::copyrightText({std::nullopt, std::nullopt, QString()}),
              AboutView::fallbackCopyright());
    EXPECT_EQ(AboutView::copyrightText({std::nullopt, std::nullopt, QStringLiteral("© X")}),
              QStringLiteral("© X"));
}

// Semibold under a Japanese locale too, where the desktop's face may have a single weight.
TEST(AboutView, TitleIsSemiboldUnderEveryLocale) {
    const AboutView about;
    int checked = 0;
    for (const QLabel* label : about.findChildren<QLabel*>()) {
        if (label->text() != QStringLiteral("Trovimo")) {
            continue;
        }
        QTextLayout shaped(label->text(), label->font());
        shaped.beginLayout();
        shaped.createLine();
        shaped.endLayout();
        for (const QGlyphRun& run : shaped.glyphRuns()) {
            const QRawFont face = run.rawFont();
            EXPECT_GE(QFontDatabase::weight(face.familyName(), face.styleName()), QFont::DemiBold)
                << face.familyName().toStdString() << " " << face.styleName().toStdString();
            ++checked;
        }
    }
    EXPECT_EQ(checked, 1);
}

} // namespace
} // namespace trovimo

#include "app/AboutView.h"
#include "core/AppInfo.h"

#include <QLabel>

#include <gtest/gtest.h>

namespace trovimo {
namespace {

TEST(AboutView, VersionLine) {
    struct Case {
        std::optional<QString> version;
        std::optional<QString> build;
        const char* line;
    };
    const Case cases[] = {
        {QStringLiteral("2.0"), QStringLiteral("57"), "バージョン 2.0 (57)"},
        {QStringLiteral("2.0"), std::nullopt, "バージョン 2.0 (?)"},
        {std::nullopt, std::nullopt, "バージョン ? (?)"},
        // An empty constant (a build outside git) counts as missing.
        {QString(), QStringLiteral("12"), "バージョン ? (12)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(AboutView::versionLine({c.version, c.build, std::nullopt}),
                  QString::fromUtf8(c.line));
    }
}

TEST(AboutView, CopyrightFallsBackWhenMissingOrEmpty) {
    EXPECT_EQ(AboutView::copyrightText({}), AboutView::fallbackCopyright());
    EXPECT_EQ(AboutView::copyrightText({std::nullopt, std::nullopt, QString()}),
              AboutView::fallbackCopyright());
    EXPECT_EQ(AboutView::copyrightText({std::nullopt, std::nullopt, QStringLiteral("© X")}),
              QStringLiteral("© X"));
    EXPECT_TRUE(AboutView::fallbackCopyright().contains(QLatin1String(app::makerName)));
}

TEST(AboutView, ShowsItsTextsLinkAndIcon) {
    const AboutView view({QStringLiteral("1.2"), QStringLiteral("34"), std::nullopt});
    const auto text = [&](const char* name) {
        const auto* label = view.findChild<QLabel*>(QLatin1String(name));
        return label != nullptr ? label->text() : QStringLiteral("<missing>");
    };
    EXPECT_EQ(text("version"), QStringLiteral("バージョン 1.2 (34)"));
    EXPECT_EQ(text("copyright"), AboutView::fallbackCopyright());
    for (const char* library : {"Qt", "ICU", "libnl", "GLib", "LGPL-3.0", "LGPL-2.1"}) {
        EXPECT_TRUE(text("libraries").contains(QLatin1String(library))) << library;
    }

    EXPECT_EQ(AboutView::productPageLabel(),
              QLatin1String(app::makerHost) + QStringLiteral("/trovimo"));
    const QString link = text("productPage");
    EXPECT_TRUE(link.contains(
        QStringLiteral("href=\"https://%1/trovimo/\"").arg(QLatin1String(app::makerHost))))
        << link.toStdString();
    EXPECT_TRUE(link.contains(QStringLiteral(">%1<").arg(AboutView::productPageLabel())));

    const auto* icon = view.findChild<QLabel*>(QStringLiteral("icon"));
    ASSERT_NE(icon, nullptr);
    EXPECT_FALSE(icon->pixmap().isNull());
    EXPECT_EQ(view.width(), AboutView::columnWidth);
}

} // namespace
} // namespace trovimo

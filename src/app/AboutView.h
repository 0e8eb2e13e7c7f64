#pragma once

#include <QIcon>
#include <QString>
#include <QWidget>

#include <optional>

namespace trovimo {

// The about window's content: icon, name, version and build, what the monitor does, the
// licence notes and the product page.
class AboutView : public QWidget {
    Q_OBJECT
public:
    static constexpr int columnWidth = 380;

    // The three variable texts; absent when the build did not provide them.
    struct Info {
        std::optional<QString> version;
        std::optional<QString> buildNumber;
        std::optional<QString> copyright;

        // From the constants generated at build time.
        [[nodiscard]] static Info fromBuild();
    };

    explicit AboutView(QWidget* parent = nullptr);
    explicit AboutView(const Info& info, QWidget* parent = nullptr);

    // "バージョン 1.2 (34)", with "?" for a missing or empty part.
    [[nodiscard]] static QString versionLine(const Info& info);
    [[nodiscard]] static QString copyrightText(const Info& info);
    [[nodiscard]] static QString fallbackCopyright();
    // The libraries the program is built with and their licences.
    [[nodiscard]] static QString librariesNote();
    // The product page without its scheme, e.g. "www.example.jp/trovimo".
    [[nodiscard]] static QString productPageLabel();
    // The application's own icon, from the desktop's theme or else the built-in one.
    [[nodiscard]] static QIcon applicationIcon();
    // The built-in icon alone: no look through the icon themes.
    [[nodiscard]] static QIcon builtInIcon();
};

} // namespace trovimo

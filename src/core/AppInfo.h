#pragma once

#include <QString>
#include <QUrl>

// Identity of the application and its maker, shared by the update feed, the about window
// and the launcher of the maker's other applications.
namespace trovimo::app {

inline constexpr const char* name = "Trovimo";
inline constexpr const char* applicationId = "jp.tsukimilabs.Trovimo";
inline constexpr const char* makerName = "Tsukimi Labs";
inline constexpr const char* makerHost = "www.tsukimi-labs.jp";

// https://<maker host>/<path>
[[nodiscard]] inline QUrl makerUrl(const QString& path) {
    QUrl url;
    url.setScheme(QStringLiteral("https"));
    url.setHost(QString::fromLatin1(makerHost));
    url.setPath(path);
    return url;
}

[[nodiscard]] inline QUrl productPageUrl() {
    return makerUrl(QStringLiteral("/trovimo/"));
}
[[nodiscard]] inline QUrl defaultFeedUrl() {
    return makerUrl(QStringLiteral("/trovimo/version.json"));
}

} // namespace trovimo::app

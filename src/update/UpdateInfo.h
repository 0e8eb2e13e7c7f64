#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace trovimo {

// One decoded version feed document.
struct UpdateInfo {
    QString latestVersion;
    // Oldest version that may go on running without updating; none means no minimum.
    std::optional<QString> minimumVersion;
    // The page the user is sent to for the update; always http or https.
    QUrl url;

    friend bool operator==(const UpdateInfo&, const UpdateInfo&) = default;
};

} // namespace trovimo

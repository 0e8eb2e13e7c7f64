#pragma once

#include <QString>
#include <QUrl>

namespace trovimo {

// One of the maker's other applications, as the context menu offers it.
struct CompanionApp {
    // Product name, shown verbatim.
    QString name;
    // One line of Japanese, already through the translation lookup.
    QString summary;
    // The freedesktop application id: installed means `<bundleID>.desktop` exists in the
    // XDG data directories. Also the item's identity.
    QString bundleID;
    // The product page on the maker's site.
    QUrl pageURL;

    friend bool operator==(const CompanionApp&, const CompanionApp&) = default;
};

} // namespace trovimo

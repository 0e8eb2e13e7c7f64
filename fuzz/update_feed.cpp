// The version feed comes from the network and the version strings inside it are compared
// with our own: neither may crash, and the comparison must stay a strict order.
#include "update/UpdateFeed.h"
#include "update/VersionComparison.h"

#include <QByteArrayView>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void checkOrder(const QString& a, const QString& b) {
    const bool aOlder = trovimo::isVersionOlderThan(a, b);
    const bool bOlder = trovimo::isVersionOlderThan(b, a);
    if ((aOlder && bOlder) || trovimo::isVersionOlderThan(a, a)) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const auto info = trovimo::decodeUpdateInfo(bytes)) {
        const QString scheme = info->url.scheme();
        if (scheme != QLatin1String("https") && scheme != QLatin1String("http")) {
            std::abort();
        }
        checkOrder(info->latestVersion, info->minimumVersion.value_or(QString()));
    }
    // The raw input as two version strings, split at the first newline.
    const QString text = QString::fromUtf8(bytes);
    const qsizetype newline = text.indexOf(u'\n');
    const QString first = newline < 0 ? text : text.left(newline);
    const QString second = newline < 0 ? QString() : text.mid(newline + 1);
    (void)trovimo::versionComponents(first);
    checkOrder(first, second);
    return 0;
}

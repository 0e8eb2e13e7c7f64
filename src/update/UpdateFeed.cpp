#include "update/UpdateFeed.h"

#include "core/DisplayableText.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

namespace trovimo {
namespace {

std::optional<UpdateInfo> fail(QString* error, const QString& description) {
    if (error) {
        *error = description;
    }
    return std::nullopt;
}

QString typeMismatch(const char* key, const char* expected) {
    return QStringLiteral("the feed member \"%1\" is not %2")
        .arg(QLatin1String(key), QLatin1String(expected));
}

} // namespace

std::optional<UpdateInfo> decodeUpdateInfo(QByteArrayView body, QString* error) {
    QJsonParseError parseError{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(body.data(), body.size()), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return fail(error, QStringLiteral("the feed is not valid JSON (%1 at offset %2)")
                               .arg(parseError.errorString())
                               .arg(parseError.offset));
    }
    if (!document.isObject()) {
        return fail(error, QStringLiteral("the feed is not a JSON object"));
    }
    const QJsonObject object = document.object();

    UpdateInfo info;
    const QJsonValue latest = object.value(QLatin1String("latestVersion"));
    if (latest.isUndefined()) {
        return fail(error, QStringLiteral("the feed has no member \"latestVersion\""));
    }
    if (!latest.isString()) {
        return fail(error, typeMismatch("latestVersion", "a string"));
    }
    // Shown on the panel as it stands, so nothing in it may reorder or break the line.
    info.latestVersion = displayableText(latest.toString());

    const QJsonValue minimum = object.value(QLatin1String("minimumVersion"));
    if (minimum.isString()) {
        info.minimumVersion = minimum.toString();
    } else if (!minimum.isUndefined() && !minimum.isNull()) {
        return fail(error, typeMismatch("minimumVersion", "a string or null"));
    }

    const QJsonValue url = object.value(QLatin1String("url"));
    if (url.isUndefined()) {
        return fail(error, QStringLiteral("the feed has no member \"url\""));
    }
    if (!url.isString()) {
        return fail(error, typeMismatch("url", "a string"));
    }
    info.url = QUrl(url.toString(), QUrl::StrictMode);
    if (!info.url.isValid()) {
        return fail(error, QStringLiteral("the feed member \"url\" is not a URL"));
    }
    // The URL is later handed to whatever handles its scheme when the user clicks: a
    // file:, javascript: or custom-handler URL from the network must never get that far.
    const QString scheme = info.url.scheme();
    if (scheme != QLatin1String("https") && scheme != QLatin1String("http")) {
        return fail(error, QStringLiteral("the feed member \"url\" is not an http(s) URL"));
    }
    if (info.url.host().isEmpty()) {
        return fail(error, QStringLiteral("the feed member \"url\" has no host"));
    }
    return info;
}

} // namespace trovimo

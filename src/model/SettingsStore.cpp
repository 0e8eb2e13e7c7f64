#include "model/SettingsStore.h"

#include "model/SystemLog.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace trovimo {
namespace {

std::optional<bool> parseBool(const QVariant& value) {
    if (value.typeId() == QMetaType::Bool) {
        return value.toBool();
    }
    if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong ||
        value.typeId() == QMetaType::Double) {
        return value.toDouble() != 0.0;
    }
    if (value.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    const QString text = value.toString().trimmed().toLower();
    if (text == u"true" || text == u"1" || text == u"yes") {
        return true;
    }
    if (text == u"false" || text == u"0" || text == u"no") {
        return false;
    }
    return std::nullopt;
}

std::optional<double> parseDouble(const QVariant& value) {
    if (value.typeId() == QMetaType::Bool) {
        return value.toBool() ? 1.0 : 0.0;
    }
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Int ||
        value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Float) {
        return value.toDouble();
    }
    if (value.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    bool ok = false;
    const double parsed = value.toString().trimmed().toDouble(&ok);
    if (!ok) {
        return std::nullopt;
    }
    return parsed;
}

} // namespace

SettingsStore::SettingsStore(const QString& filePath, QObject* parent)
    : QObject(parent), settings_(filePath, QSettings::IniFormat) {}

QString SettingsStore::defaultFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Trovimo/Trovimo.conf");
}

SettingsStore& SettingsStore::shared() {
    static SettingsStore instance(defaultFilePath());
    return instance;
}

void SettingsStore::registerDefaults(const QVariantMap& defaults) {
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it) {
        registered_.insert(it.key(), it.value());
    }
}

QVariant SettingsStore::lookup(const QString& key) const {
    const QVariant stored = settings_.value(key);
    if (stored.isValid()) {
        return stored;
    }
    return registered_.value(key);
}

bool SettingsStore::boolValue(const QString& key) const {
    return parseBool(lookup(key)).value_or(false);
}

double SettingsStore::doubleValue(const QString& key) const {
    return parseDouble(lookup(key)).value_or(0.0);
}

std::optional<QString> SettingsStore::stringValue(const QString& key) const {
    const QVariant stored = settings_.value(key);
    if (!stored.isValid() || stored.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    return stored.toString();
}

QVariant SettingsStore::storedValue(const QString& key) const {
    return settings_.value(key);
}

bool SettingsStore::contains(const QString& key) const {
    return settings_.contains(key);
}

void SettingsStore::setBool(const QString& key, bool value) {
    setValue(key, value);
}

void SettingsStore::setDouble(const QString& key, double value) {
    setValue(key, value);
}

void SettingsStore::setString(const QString& key, const QString& value) {
    setValue(key, value);
}

void SettingsStore::setValue(const QString& key, const QVariant& value) {
    settings_.setValue(key, value);
    persist(key);
}

void SettingsStore::remove(const QString& key) {
    settings_.remove(key);
    persist(key);
}

void SettingsStore::persist(const QString& key) {
    // QSettings writes through QSaveFile, so the file is replaced whole or not at all.
    QDir().mkpath(QFileInfo(settings_.fileName()).absolutePath());
    settings_.sync();
    if (settings_.status() == QSettings::AccessError) {
        systemLog(logApp(), QStringLiteral("SettingsStore: 設定を保存できませんでした: %1")
                                .arg(settings_.fileName()));
    }
    emit changed(key);
}

} // namespace trovimo

#include "model/SettingsStore.h"

#include "core/SystemLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>

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

// Why the file at `path` must not be opened; none when it may (an absent file may).
// stat() follows a symbolic link, so a link to a regular file is as good as the file.
std::optional<QString> refusal(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        return QStringLiteral("通常のファイルではありません");
    }
    if (info.st_size > SettingsStore::maximumFileSize) {
        return QStringLiteral("%1 バイトを超えています").arg(SettingsStore::maximumFileSize);
    }
    return std::nullopt;
}

// What changes when the file is written: QSaveFile puts a new file in its place.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modified = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

std::optional<FileIdentity> identify(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return FileIdentity{info.st_dev, info.st_ino, info.st_size,
                        info.st_mtim.tv_sec * 1'000'000'000 + info.st_mtim.tv_nsec};
}

} // namespace

SettingsStore::SettingsStore(const QString& filePath, QObject* parent)
    : QObject(parent), filePath_(filePath) {
    if (const std::optional<QString> reason = refusal(filePath_)) {
        systemLog(logApp(), QStringLiteral("SettingsStore: %1 を読み込みません（%2）。"
                                           "この実行中は既定値を使い、変更は保存されません")
                                .arg(filePath_, *reason));
        return;
    }
    file_ = std::make_unique<QSettings>(filePath_, QSettings::IniFormat);
}

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
    display_.reset();
}

QVariant SettingsStore::lookup(const QString& key) const {
    const QVariant stored = storedValue(key);
    if (stored.isValid()) {
        return stored;
    }
    return registered_.value(key);
}

bool SettingsStore::boolValue(const QString& key, bool fallback) const {
    const QVariant value = lookup(key);
    return value.isValid() ? parseBool(value).value_or(false) : fallback;
}

double SettingsStore::doubleValue(const QString& key, double fallback) const {
    const QVariant value = lookup(key);
    return value.isValid() ? parseDouble(value).value_or(0.0) : fallback;
}

const DisplaySettings& SettingsStore::display() const {
    if (!display_) {
        display_ = DisplaySettings::read(*this);
    }
    return *display_;
}

std::optional<QString> SettingsStore::stringValue(const QString& key) const {
    const QVariant stored = storedValue(key);
    if (!stored.isValid() || stored.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    return stored.toString();
}

QVariant SettingsStore::storedValue(const QString& key) const {
    return file_ ? file_->value(key) : unsaved_.value(key);
}

bool SettingsStore::contains(const QString& key) const {
    return file_ ? file_->contains(key) : unsaved_.contains(key);
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
    if (file_) {
        file_->setValue(key, value);
    } else {
        unsaved_.insert(key, value);
    }
    persist(key, true);
}

void SettingsStore::remove(const QString& key) {
    // Removing what is not there leaves the file as it is.
    const bool present = contains(key);
    if (file_) {
        file_->remove(key);
    } else {
        unsaved_.remove(key);
    }
    persist(key, present);
}

void SettingsStore::replaceGroup(const QString& group, const QVariantMap& values) {
    const QString prefix = group + QLatin1Char('/');
    if (file_) {
        file_->remove(group);
    } else {
        for (auto it = unsaved_.begin(); it != unsaved_.end();) {
            it = it.key().startsWith(prefix) ? unsaved_.erase(it) : std::next(it);
        }
    }
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (file_) {
            file_->setValue(prefix + it.key(), it.value());
        } else {
            unsaved_.insert(prefix + it.key(), it.value());
        }
    }
    persist(group, true);
}

void SettingsStore::persist(const QString& key, bool fileChanges) {
    display_.reset();
    if (fileChanges && !writeFile()) {
        systemLog(logApp(),
                  QStringLiteral("SettingsStore: 設定を保存できませんでした: %1").arg(filePath_));
    }
    emit changed(key);
}

bool SettingsStore::writeFile() {
    // Syncing also reads the file again when it changed on disk; one that became unusable
    // since the start is not read, nor replaced.
    if (!file_ || refusal(filePath_)) {
        return false;
    }
    QDir().mkpath(QFileInfo(filePath_).absolutePath());
    const std::optional<FileIdentity> before = identify(filePath_);
    file_->sync();
    // QSettings' status keeps its first error, so a file that once failed to parse hides
    // every later failure to write; only the file itself tells whether it was replaced.
    const std::optional<FileIdentity> after = identify(filePath_);
    return after && after != before;
}

} // namespace trovimo

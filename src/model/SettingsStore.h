#pragma once

#include "model/DisplaySettings.h"

#include <QObject>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>
#include <optional>

namespace trovimo {

// The per-user settings: an INI file at $XDG_CONFIG_HOME/Trovimo/Trovimo.conf plus an
// in-memory registration layer. A read yields the stored value, else the registered
// default, else the fallback (the type's zero value unless given); a stored value that does
// not parse as the type reads as the zero value. Writes persist at once and announce the key; a
// write that does not reach the file is logged.
//
// A file that is not a regular file (a FIFO would block the start for good) or is larger
// than maximumFileSize is never opened: the values then live in memory for this run only,
// and the path is left as it is.
class SettingsStore : public QObject {
    Q_OBJECT
public:
    // Hand-written settings are a few hundred bytes; a larger file is not ours to load.
    static constexpr qint64 maximumFileSize = 1024 * 1024;

    explicit SettingsStore(const QString& filePath, QObject* parent = nullptr);

    // The one instance of the process, on the user's file.
    static SettingsStore& shared();
    static QString defaultFilePath();

    // Registered values live in memory only and never reach the file.
    void registerDefaults(const QVariantMap& defaults);

    [[nodiscard]] bool boolValue(const QString& key, bool fallback = false) const;
    [[nodiscard]] double doubleValue(const QString& key, double fallback = 0.0) const;
    [[nodiscard]] std::optional<QString> stringValue(const QString& key) const;
    // Stored value only (no registration layer); invalid when nothing is stored.
    [[nodiscard]] QVariant storedValue(const QString& key) const;
    [[nodiscard]] bool contains(const QString& key) const;

    void setBool(const QString& key, bool value);
    void setDouble(const QString& key, double value);
    void setString(const QString& key, const QString& value);
    void setValue(const QString& key, const QVariant& value);
    void remove(const QString& key);
    // Every key under `group/` replaced by `values` (keys relative to the group), in one write
    // and one announcement of `group`.
    void replaceGroup(const QString& group, const QVariantMap& values);

    [[nodiscard]] QString filePath() const { return filePath_; }

    // The display settings, read again only after a write or a registration: every refresh
    // and every tick asks for them.
    [[nodiscard]] const DisplaySettings& display() const;

signals:
    void changed(const QString& key);

private:
    [[nodiscard]] QVariant lookup(const QString& key) const;
    void persist(const QString& key, bool fileChanges);
    [[nodiscard]] bool writeFile();

    QString filePath_;
    // Null while the file is left alone; `unsaved_` then holds what was set.
    std::unique_ptr<QSettings> file_;
    QVariantMap unsaved_;
    QVariantMap registered_;
    mutable std::optional<DisplaySettings> display_;
};

} // namespace trovimo

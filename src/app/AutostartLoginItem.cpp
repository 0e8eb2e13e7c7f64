#include "app/AutostartLoginItem.h"

#include "core/AppInfo.h"
#include "core/SystemLog.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <array>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace trovimo {
namespace {

// Autostart entries are a few hundred bytes; anything far larger is not ours to parse.
constexpr qint64 maximumEntrySize = 64 * 1024;

QByteArrayView trimmed(QByteArrayView text) {
    while (!text.isEmpty() &&
           (text.front() == ' ' || text.front() == '\t' || text.front() == '\r')) {
        text = text.sliced(1);
    }
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.chop(1);
    }
    return text;
}

// The escapes every desktop-file string value knows. Spaces need one only at either end
// of a value, where readers trim them; `allSpaces` escapes them everywhere.
QString escapedString(const QString& text, bool allSpaces) {
    QString value;
    value.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (c == u'\\') {
            value += QStringLiteral("\\\\");
        } else if (c == u'\n') {
            value += QStringLiteral("\\n");
        } else if (c == u'\t') {
            value += QStringLiteral("\\t");
        } else if (c == u'\r') {
            value += QStringLiteral("\\r");
        } else if (c == u' ' && allSpaces) {
            value += QStringLiteral("\\s");
        } else {
            value += c;
        }
    }
    return value;
}

// String values may hold no control character but the three with an escape.
bool expressible(const QString& text) {
    return std::none_of(text.begin(), text.end(), [](QChar c) {
        return (c.unicode() < 0x20 && c != u'\n' && c != u'\t' && c != u'\r') ||
               c.unicode() == 0x7f;
    });
}

} // namespace

AutostartLoginItem::AutostartLoginItem(QString directory, QByteArray executable, QString machine)
    : directory_(directory.isEmpty() ? defaultDirectory() : std::move(directory)),
      executable_(executable.isEmpty() ? currentExecutable() : std::move(executable)),
      machine_(std::move(machine)) {}

QString AutostartLoginItem::defaultDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart");
}

QString AutostartLoginItem::entryPath() const {
    QString name = QLatin1String(app::applicationId);
    if (!machine_.isEmpty()) {
        // The machine's name may hold any character; the file's name stays plain.
        name += QStringLiteral(".machine-") +
                QString::fromLatin1(
                    QCryptographicHash::hash(machine_.toUtf8(), QCryptographicHash::Sha1)
                        .toHex()
                        .left(16));
    }
    return directory_ + QLatin1Char('/') + name + QStringLiteral(".desktop");
}

AutostartLoginItem::Status AutostartLoginItem::status() const {
    const QFileInfo info(entryPath());
    if (!info.exists()) {
        return Status::notRegistered;
    }
    QFile file(entryPath());
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        // The session manager cannot start what it cannot read either.
        return Status::disabled;
    }
    return parseEntry(file.read(maximumEntrySize));
}

AutostartLoginItem::Status AutostartLoginItem::parseEntry(QByteArrayView text) {
    bool inMainGroup = false;
    bool sawMainGroup = false;
    bool startable = true;
    while (!text.isEmpty()) {
        const qsizetype end = text.indexOf('\n');
        const QByteArrayView line = trimmed(end < 0 ? text : text.first(end));
        text = end < 0 ? QByteArrayView() : text.sliced(end + 1);
        if (line.isEmpty() || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            inMainGroup = line == QByteArrayView("[Desktop Entry]");
            sawMainGroup = sawMainGroup || inMainGroup;
            continue;
        }
        if (!inMainGroup) {
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0) {
            continue;
        }
        const QByteArrayView key = trimmed(line.first(equals));
        const QByteArrayView value = trimmed(line.sliced(equals + 1));
        if (key == QByteArrayView("Hidden") && value == QByteArrayView("true")) {
            startable = false;
        } else if (key == QByteArrayView("X-GNOME-Autostart-enabled") &&
                   value == QByteArrayView("false")) {
            startable = false;
        }
    }
    return sawMainGroup && startable ? Status::enabled : Status::disabled;
}

QString AutostartLoginItem::execValue(const QString& program) {
    static const QString reserved = QStringLiteral(" \t\n\r\"'\\><~|&;$*?#()`");
    bool needsQuotes = program.isEmpty();
    for (const QChar c : program) {
        needsQuotes = needsQuotes || reserved.contains(c);
    }
    QString argument;
    if (needsQuotes) {
        argument += QLatin1Char('"');
        for (const QChar c : program) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') {
                argument += QLatin1Char('\\');
            }
            argument += c;
        }
        argument += QLatin1Char('"');
    } else {
        argument = program;
    }
    argument.replace(QLatin1Char('%'), QStringLiteral("%%"));
    // The Exec key is a string value too, so its own escapes apply on top of the quoting
    // (inside the quotes spaces need none).
    return escapedString(argument, false);
}

QString AutostartLoginItem::stringValue(const QString& text) {
    return escapedString(text, true);
}

std::optional<QByteArray> AutostartLoginItem::entryText(QByteArrayView executable,
                                                        const QString& machine) {
    if (!executable.startsWith('/') || !executable.isValidUtf8()) {
        return std::nullopt;
    }
    const QString program = QString::fromUtf8(executable);
    const QString machineArgument = QStringLiteral("--machine=") + machine;
    if (!expressible(program) || !expressible(machineArgument)) {
        return std::nullopt;
    }
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += machine.isEmpty() ? QStringLiteral("Name=Trovimo\n")
                              : QStringLiteral("Name=Trovimo (%1)\n").arg(stringValue(machine));
    text += QStringLiteral("Comment=デスクトップ常駐の小型パフォーマンスモニター\n");
    text += QStringLiteral("Exec=") + execValue(program);
    if (!machine.isEmpty()) {
        text += QLatin1Char(' ') + execValue(machineArgument);
    }
    text += QLatin1Char('\n');
    text += QStringLiteral("TryExec=") + stringValue(program) + QLatin1Char('\n');
    text += QStringLiteral("Icon=") + QLatin1String(app::applicationId) + QLatin1Char('\n');
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    return text.toUtf8();
}

QByteArray AutostartLoginItem::currentExecutable() {
    // Read as bytes: Qt's answer passes through a QString and comes back empty (or altered)
    // for a path that is not UTF-8.
    std::array<char, PATH_MAX> buffer{};
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length > 0 && static_cast<std::size_t>(length) < buffer.size()) {
        QByteArray path(buffer.data(), length);
        // A program replaced by an upgrade reads "... (deleted)": no file of that name.
        struct stat info {};
        if (::stat(path.constData(), &info) == 0) {
            return path;
        }
    }
    return QFile::encodeName(QCoreApplication::applicationFilePath());
}

bool AutostartLoginItem::registerItem() {
    const std::optional<QByteArray> text = entryText(executable_, machine_);
    if (!text) {
        // One line whatever the path holds: what cannot be shown shows as U+FFFD.
        QString shown = QString::fromUtf8(executable_);
        std::replace_if(
            shown.begin(), shown.end(), [](QChar c) { return c.unicode() < 0x20 || c == u'\x7f'; },
            QChar::ReplacementCharacter);
        systemLog(logApp(),
                  QStringLiteral("AutostartLoginItem: このプログラムのパスは自動起動エントリに"
                                 "書けません（UTF-8 の絶対パスでないか制御文字を含みます）: %1")
                      .arg(shown));
        return false;
    }
    if (!QDir().mkpath(directory_)) {
        return false;
    }
    // Written whole or not at all: a half-written entry could start nothing at the next login.
    QSaveFile file(entryPath());
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (file.write(*text) != text->size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool AutostartLoginItem::unregisterItem() {
    const QFileInfo info(entryPath());
    if (!info.exists() && !info.isSymLink()) {
        return true;
    }
    if (info.isDir() && !info.isSymLink()) {
        return false;
    }
    return QFile::remove(entryPath());
}

} // namespace trovimo

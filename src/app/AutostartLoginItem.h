#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace trovimo {

// Start at login through an XDG autostart entry, $XDG_CONFIG_HOME/autostart/<app id>.desktop
// (freedesktop.org desktop application autostart rules). Every desktop that follows those
// rules starts the entry at login unless it says Hidden=true; GNOME's own
// start-up settings write X-GNOME-Autostart-enabled=false instead.
// The entry names the program by its absolute path in TryExec too, so once the program is
// removed the desktop starts nothing (the entry stays the user's file).
class AutostartLoginItem {
public:
    enum class Status {
        enabled,
        notRegistered,
        // An entry exists but the desktop will not start it (switched off by the user in the
        // desktop's own start-up settings, or unreadable).
        disabled,
    };

    // `directory` defaults to the user's autostart folder, `executable` (the path's bytes as
    // the file system holds them) to this program. With `machine`, the entry starts the panel
    // of that other machine (trovimo --machine) and is a file of its own beside this machine's.
    explicit AutostartLoginItem(QString directory = {}, QByteArray executable = {},
                                QString machine = {});

    [[nodiscard]] Status status() const;
    [[nodiscard]] bool isEnabled() const { return status() == Status::enabled; }
    // Both return false when the change could not be made; the status then tells what holds.
    [[nodiscard]] bool registerItem();
    [[nodiscard]] bool unregisterItem();

    [[nodiscard]] QString entryPath() const;

    static QString defaultDirectory();

    // What an entry's text says about starting at login. Never fails: text that is not an
    // entry at all reads as disabled.
    [[nodiscard]] static Status parseEntry(QByteArrayView text);
    // The entry written for `executable`. None when a desktop entry cannot name that path:
    // not absolute, not UTF-8 (entries are UTF-8 text), or holding a control character that
    // string values have no escape for.
    [[nodiscard]] static std::optional<QByteArray> entryText(QByteArrayView executable,
                                                             const QString& machine = {});
    // `program` as one Exec= argument: quoted where the Desktop Entry Specification asks,
    // field-code percent signs doubled, then escaped as a desktop-file string value.
    [[nodiscard]] static QString execValue(const QString& program);
    // `text` as a desktop-file string value (TryExec): backslash, space and the three
    // escapable control characters escaped.
    [[nodiscard]] static QString stringValue(const QString& text);
    // This program's path as the kernel has it, bytes that need not be UTF-8.
    [[nodiscard]] static QByteArray currentExecutable();

private:
    QString directory_;
    QByteArray executable_;
    QString machine_;
};

} // namespace trovimo

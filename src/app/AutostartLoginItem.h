#pragma once

#include "app/LoginItemService.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace trovimo {

// Start at login through an XDG autostart entry, $XDG_CONFIG_HOME/autostart/<app id>.desktop
// (freedesktop.org desktop application autostart rules). Every desktop that follows those
// rules starts the entry at login unless it says Hidden=true; GNOME's own
// start-up settings write X-GNOME-Autostart-enabled=false instead.
class AutostartLoginItem final : public LoginItemService {
public:
    // `directory` defaults to the user's autostart folder, `executable` to this program.
    explicit AutostartLoginItem(QString directory = {}, QString executable = {});

    [[nodiscard]] Status status() const override;
    [[nodiscard]] bool registerItem() override;
    [[nodiscard]] bool unregisterItem() override;

    [[nodiscard]] QString entryPath() const;

    static QString defaultDirectory();

    // What an entry's text says about starting at login. Never fails: text that is not an
    // entry at all reads as disabled.
    [[nodiscard]] static Status parseEntry(QByteArrayView text);
    // The entry written for `executable`.
    [[nodiscard]] static QByteArray entryText(const QString& executable);
    // `program` as one Exec= argument: quoted where the Desktop Entry Specification asks,
    // field-code percent signs doubled, then escaped as a desktop-file string value.
    [[nodiscard]] static QString execValue(const QString& program);

private:
    QString directory_;
    QString executable_;
};

} // namespace trovimo

#include "app/ScreenReaderWatch.h"

#include "core/SystemLog.h"

#include <QAccessible>
#include <QDBusConnection>

namespace trovimo {
namespace {

// Whether a change of the status properties turns assistive technology on.
bool turnsOn(const QString& interface, const QVariantMap& changed) {
    if (interface != QLatin1String("org.a11y.Status")) {
        return false;
    }
    for (const char* property : {"IsEnabled", "ScreenReaderEnabled"}) {
        const QVariant value = changed.value(QLatin1String(property));
        if (value.typeId() == QMetaType::Bool && value.toBool()) {
            return true;
        }
    }
    return false;
}

} // namespace

ScreenReaderWatch::ScreenReaderWatch(QObject* parent) : QObject(parent) {
    // The session bus Qt's accessibility bridge itself asks: no connection of our own.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    bus.connect(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                QStringLiteral("org.freedesktop.DBus.Properties"),
                QStringLiteral("PropertiesChanged"), this,
                SLOT(statusChanged(QString, QVariantMap, QStringList)));
}

void ScreenReaderWatch::statusChanged(const QString& interface, const QVariantMap& changed,
                                      const QStringList& /*invalidated*/) {
    // With the bridge on already, Qt follows by itself.
    if (!switchedOn_ && !QAccessible::isActive() && turnsOn(interface, changed)) {
        switchedOn_ = true; // a screen reader sets both properties, one signal each
        qCDebug(logApp).noquote() << QStringLiteral(
            "ScreenReaderWatch: 支援技術がオンになりました。読み上げに応じるため起動し直します");
        emit switchedOn();
    }
}

} // namespace trovimo

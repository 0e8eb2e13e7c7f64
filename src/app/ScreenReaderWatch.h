#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace trovimo {

// Qt 6.4 asks the accessibility bus once, at start, whether assistive technology is on
// (org.a11y.Status: IsEnabled, ScreenReaderEnabled) and follows no later change: a screen
// reader started after the panel would find no panel at all. This follows the change instead
// and says when either turned on while Qt's bridge is off; the program then starts itself
// again, and Qt sees the bus on at the new start.
class ScreenReaderWatch : public QObject {
    Q_OBJECT
public:
    explicit ScreenReaderWatch(QObject* parent = nullptr);

signals:
    void switchedOn();

private slots:
    void statusChanged(const QString& interface, const QVariantMap& changed,
                       const QStringList& invalidated);

private:
    bool switchedOn_ = false;
};

} // namespace trovimo

#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"
#include "model/StatsStore.h"
#include "readers/SystemReaders.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Trovimo"));

    auto& settings = trovimo::SettingsStore::shared();
    trovimo::StatsStore stats(settings, trovimo::makeSystemReaders());
    settings.registerDefaults(trovimo::defaultSettings());

    QLabel window(QStringLiteral("Trovimo"));
    window.setWindowTitle(QStringLiteral("Trovimo"));
    window.setMinimumSize(190, 120);
    window.show();
    stats.start();
    return QApplication::exec();
}

#include "BuildInfo.h"
#include "app/AboutView.h"
#include "app/CommandLine.h"
#include "app/SingleInstance.h"
#include "app/TrovimoApp.h"
#include "app/UnixSignalQuitter.h"
#include "core/AppInfo.h"
#include "core/SystemLog.h"
#include "window/PlatformSelection.h"

#include <QApplication>
#include <QPixmapCache>

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

bool isSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

} // namespace

int main(int argc, char* argv[]) {
    trovimo::installSystemLogHandler();
    // Before anything opens a display: --help and --version work without one.
    const trovimo::CommandLine commandLine = trovimo::CommandLine::parse(argc, argv);
    if (const std::optional<int> exitStatus = commandLine.answer()) {
        return *exitStatus;
    }
    commandLine.exportDisplayOptions();
    // Without any display Qt would abort with a core dump; say what is missing instead.
    if (!isSet("QT_QPA_PLATFORM") && !isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY")) {
        std::fputs("Trovimo: ディスプレイがありません（DISPLAY も WAYLAND_DISPLAY も設定されて"
                   "いません）。デスクトップのセッションから起動してください。\n",
                   stderr);
        return 1;
    }
    // A second start brings the running panel forward and ends here, before it talks to
    // the display.
    trovimo::SingleInstance instance(commandLine.displayName().toStdString());
    switch (instance.claim()) {
    case trovimo::SingleInstance::Role::handedOver:
        return 0;
    case trovimo::SingleInstance::Role::unanswered:
        return 1;
    case trovimo::SingleInstance::Role::first:
    case trovimo::SingleInstance::Role::unguarded:
        break;
    }
    // Placing, levels and workspaces need X11, which is chosen before Qt starts. A display
    // that does not answer is reported here too: Qt would abort with a core dump.
    if (!trovimo::selectPlatform()) {
        return 1;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(trovimo::app::name));
    QApplication::setApplicationVersion(QString::fromUtf8(trovimo::build::version));
    // Lets Wayland compositors and docks match the windows to the installed desktop entry.
    QApplication::setDesktopFileName(QString::fromLatin1(trovimo::app::applicationId));
    // The panel has no title bar: the built-in icon serves its window, without reading the
    // icon themes' indexes at start (about 80 kB kept by Qt's icon loader). The settings and
    // about windows take the theme's icon when they open.
    QApplication::setWindowIcon(trovimo::AboutView::builtInIcon());

    const trovimo::UnixSignalQuitter signalQuitter;
    trovimo::TrovimoApp app;
    app.showMainWindow();
    QObject::connect(&instance, &trovimo::SingleInstance::activationRequested, &app,
                     &trovimo::TrovimoApp::showMainWindow);
    instance.listen();
    // The window icon was just rendered from its SVG at the sizes the window manager may
    // want; those renderings would stay in Qt's pixmap cache for good, though nothing draws
    // them again.
    QPixmapCache::clear();
    return QApplication::exec();
}

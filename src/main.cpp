#include "BuildInfo.h"
#include "app/AboutView.h"
#include "app/TrovimoApp.h"
#include "app/UnixSignalQuitter.h"
#include "model/AppInfo.h"
#include "window/PlatformSelection.h"

#include <QApplication>
#include <QPixmapCache>

// Trovimo takes no arguments of its own; QApplication only removes Qt's (-platform, ...).
int main(int argc, char* argv[]) {
    // Placing, levels and workspaces need X11, which is chosen before Qt starts.
    trovimo::selectPlatform();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(trovimo::app::name));
    QApplication::setApplicationVersion(QString::fromUtf8(trovimo::build::version));
    // Lets Wayland compositors and docks match the windows to the installed desktop entry.
    QApplication::setDesktopFileName(QString::fromLatin1(trovimo::app::applicationId));
    QApplication::setWindowIcon(trovimo::AboutView::applicationIcon());

    const trovimo::UnixSignalQuitter signalQuitter;
    trovimo::TrovimoApp app;
    app.showMainWindow();
    // The window icon was just rendered from its SVG at the sizes the window manager may
    // want; those renderings would stay in Qt's pixmap cache for good, though nothing draws
    // them again.
    QPixmapCache::clear();
    return QApplication::exec();
}

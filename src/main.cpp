#include "BuildInfo.h"
#include "app/AboutView.h"
#include "app/CommandLine.h"
#include "app/ScreenReaderWatch.h"
#include "app/SingleInstance.h"
#include "app/TrovimoApp.h"
#include "app/UnixSignalQuitter.h"
#include "core/AppInfo.h"
#include "core/SystemLog.h"
#include "model/RemoteMachine.h"
#include "model/SettingsStore.h"
#include "window/PlatformSelection.h"

#include <QApplication>
#include <QPixmapCache>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

bool isSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

// The panel's whole life: returns the exit status, `restart` set when it is to start again.
int runPanel(int& argc, char** argv, const QString& machine, trovimo::SingleInstance& instance,
             bool& restart) {
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
    trovimo::TrovimoApp::Options options;
    options.machine = machine;
    trovimo::TrovimoApp app(std::move(options));
    app.showMainWindow();
    QObject::connect(&instance, &trovimo::SingleInstance::activationRequested, &app,
                     &trovimo::TrovimoApp::callMainWindow);
    instance.listen();
    // The window icon was just rendered from its SVG at the sizes the window manager may
    // want; those renderings would stay in Qt's pixmap cache for good, though nothing draws
    // them again.
    QPixmapCache::clear();
    // A screen reader switched on now finds the panel only after a new start (Qt 6.4 asks the
    // accessibility bus once). Everything is taken down first: the frame is saved, the lock
    // and the socket are released for the new start.
    const trovimo::ScreenReaderWatch screenReader;
    QObject::connect(&screenReader, &trovimo::ScreenReaderWatch::switchedOn, &application,
                     [&restart] {
                         restart = true;
                         QCoreApplication::quit();
                     });
    return QApplication::exec();
}

// Replaces this process with a fresh start of the same program with the same arguments; the
// process id stays. Returns only when that fails.
void restartProgram(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    ::execv("/proc/self/exe", argv.data());
    trovimo::systemLog(trovimo::logApp(), QStringLiteral("Trovimo: 起動し直せませんでした: %1")
                                              .arg(QString::fromLocal8Bit(std::strerror(errno))));
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
    const QString machine = commandLine.machine.value_or(QString());
    if (!machine.isEmpty()) {
        const QList<trovimo::RemoteMachine> listed =
            trovimo::readRemoteMachines(trovimo::SettingsStore::shared());
        if (std::none_of(listed.begin(), listed.end(), [&](const trovimo::RemoteMachine& each) {
                return each.name == machine;
            })) {
            std::fprintf(stderr,
                         "trovimo: 「%s」という名前のマシンは設定の「他のマシン」にありません\n",
                         machine.toLocal8Bit().constData());
            return 2;
        }
    }
    // A second start brings the running panel forward and ends here, before it talks to
    // the display: one panel per display for this machine, and one per other machine.
    trovimo::SingleInstance instance(commandLine.displayName().toStdString());
    if (!machine.isEmpty()) {
        instance.keyByMachine(machine.toStdString());
    }
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
    // Qt takes its own options (-display, -platform) out of argv; a start again needs them.
    const std::vector<std::string> arguments(argv, argv + argc);
    bool restart = false;
    const int status = runPanel(argc, argv, machine, instance, restart);
    if (restart) {
        restartProgram(arguments);
        return 1;
    }
    return status;
}

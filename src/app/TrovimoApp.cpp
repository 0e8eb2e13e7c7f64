#include "app/TrovimoApp.h"

#include "app/AboutView.h"
#include "app/AutostartLoginItem.h"
#include "app/CompanionAppLauncher.h"
#include "app/SettingsView.h"
#include "app/WindowAccessibility.h"
#include "core/SystemLog.h"
#include "model/RemoteMachine.h"
#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"
#include "model/StatsStore.h"
#include "panel/ContentView.h"
#include "readers/SystemReaders.h"
#include "remote/RemoteSource.h"
#include "update/UpdateStore.h"
#include "window/CompositorWatch.h"
#include "window/MainWindowVisibility.h"
#include "window/WindowConfigurator.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QUrl>

#include <algorithm>
#include <chrono>

namespace trovimo {
namespace {

// How long the first frame waits for the home volume's figures.
constexpr std::chrono::milliseconds firstFrameDiskWait{250};
// Between a panel of another machine and its neighbour, when neither was moved yet.
constexpr int panelGap = 8;

// Brings a window that may be hidden, minimised or behind others to the front.
void bringForward(QWidget& window) {
    if (window.isMinimized()) {
        window.showNormal();
    } else {
        window.show();
    }
    window.raise();
    window.activateWindow();
}

std::vector<LauncherMenuEntry> launcherMenuEntries() {
    std::vector<LauncherMenuEntry> entries;
    for (const CompanionAppLauncher::Entry& entry : CompanionAppLauncher::entries()) {
        entries.push_back({entry.app.name, entry.app.summary, entry.icon.value_or(QIcon())});
    }
    return entries;
}

void openLauncherEntry(int index) {
    const auto& entries = CompanionAppLauncher::entries();
    if (index >= 0 && static_cast<std::size_t>(index) < entries.size()) {
        CompanionAppLauncher::open(entries[static_cast<std::size_t>(index)]);
    }
}

} // namespace

TrovimoApp::TrovimoApp(QObject* parent) : TrovimoApp(Options{}, parent) {}

TrovimoApp::TrovimoApp(Options options, QObject* parent)
    : QObject(parent),
      settings_(options.settings != nullptr ? *options.settings : SettingsStore::shared()),
      localSource_(options.source ? std::move(options.source)
                                  : [] { return std::unique_ptr<StatsSource>(makeLocalSource()); }),
      panelMachine_(std::move(options.machine)) {
    // The order is part of the contract: both stores exist before the defaults are
    // registered, and the defaults before any window reads a setting.
    stats_ = std::make_unique<StatsStore>(
        settings_,
        sourceFor(panelMachine_.isEmpty()
                      ? settings_.stringValue(QLatin1String(shownMachineKey)).value_or(QString())
                      : panelMachine_));
    if (options.updateStore) {
        updates_ = options.updateStore();
    } else {
        UpdateStore::Options updateOptions;
        updateOptions.settings = &settings_;
        updates_ = std::make_unique<UpdateStore>(std::move(updateOptions));
    }
    settings_.registerDefaults(defaultSettings());
    // Before either window is made and asked for its accessible interface.
    installWindowAccessibility();
}

TrovimoApp::~TrovimoApp() {
    delete about_;
    delete settingsWindow_;
    if (panel_) {
        panel_->removeEventFilter(this);
        // Hidden while everything it talks to is whole: hiding saves the frame, and that
        // write makes the panel lay itself out again.
        panel_->hide();
        panel_.reset();
    }
    stats_->setVisibilityQuery({});
}

std::unique_ptr<StatsSource> TrovimoApp::sourceFor(const QString& machine) {
    if (machine.isEmpty()) {
        return localSource_();
    }
    for (const RemoteMachine& listed : readRemoteMachines(settings_)) {
        if (listed.name == machine) {
            return std::make_unique<RemoteSource>(listed, makePanelSamplers());
        }
    }
    systemLog(logApp(),
              QStringLiteral("TrovimoApp: 他のマシン「%1」は設定にないため、このマシンを表示します")
                  .arg(machine));
    return localSource_();
}

void TrovimoApp::showMachine(const QString& machine) {
    if (panelMachine_.isEmpty()) {
        // This machine's own panel keeps the choice; another machine's panel is named by its
        // command line, its lock and its login entry, and shows the choice for this run.
        if (machine.isEmpty()) {
            settings_.remove(QLatin1String(shownMachineKey));
        } else {
            settings_.setString(QLatin1String(shownMachineKey), machine);
        }
    }
    stats_->setSource(sourceFor(machine));
}

void TrovimoApp::createMainWindow() {
    panel_ = std::make_unique<ContentView>(*stats_, updates_.get(), settings_);
    panel_->setWindowTitle(
        panelMachine_.isEmpty()
            ? QString::fromUtf8(mainWindowTitle)
            : QStringLiteral("%1 — %2").arg(QString::fromUtf8(mainWindowTitle), panelMachine_));
    panel_->installEventFilter(this);

    // Top-right corner of the work area (inside any panels and docks), another machine's
    // panel to the left of this machine's, in the order of the list; a position saved from
    // an earlier run replaces it as soon as the configurator attaches.
    int place = 0;
    if (!panelMachine_.isEmpty()) {
        const QList<RemoteMachine> machines = readRemoteMachines(settings_);
        place = 1;
        while (place <= machines.size() && machines[place - 1].name != panelMachine_) {
            ++place;
        }
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        const int right = area.x() + area.width() - place * (panel_->width() + panelGap);
        panel_->move(std::max(area.x(), right - panel_->width()), area.y());
    }

    // Decided before the first show, so the first frame is drawn for the desktop it lands on.
    compositor_ = std::make_unique<CompositorWatch>();
    panel_->setOpaqueBackground(!compositor_->isCompositing());
    connect(compositor_.get(), &CompositorWatch::compositingChanged, panel_.get(),
            [panel = panel_.get()](bool compositing) { panel->setOpaqueBackground(!compositing); });

    // Each panel keeps its own position: another machine's under a name of its own.
    configurator_ = std::make_unique<WindowConfigurator>(
        settings_, nullptr, nullptr,
        panelMachine_.isEmpty() ? QString()
                                : QStringLiteral("TrovimoMachine-") +
                                      QString::fromLatin1(QUrl::toPercentEncoding(panelMachine_)));
    visibility_ = std::make_unique<MainWindowVisibility>();
    visibility_->setWindow(panel_.get());
    stats_->setVisibilityQuery(visibility_->query());
    configurator_->setControlHitTest([panel = QPointer<ContentView>(panel_.get())](QPoint point) {
        return panel && panel->hitRegionAt(QPointF(point)) != nullptr;
    });
    panel_->setLauncher(launcherMenuEntries, openLauncherEntry);
    configurator_->follow(*panel_);

    connect(panel_.get(), &ContentView::openAboutRequested, this, [this] { openAbout(); });
    connect(panel_.get(), &ContentView::openSettingsRequested, this, [this] { openSettings(); });
    connect(panel_.get(), &ContentView::quitRequested, qApp, &QCoreApplication::quit,
            Qt::QueuedConnection);
    // Queued: the menu that asked is still on the stack, and the source it reads goes.
    connect(panel_.get(), &ContentView::showMachineRequested, this, &TrovimoApp::showMachine,
            Qt::QueuedConnection);
    connect(panel_.get(), &ContentView::focusReturnRequested, this,
            [this] { handover_.giveBack(); });
}

void TrovimoApp::showMainWindow() {
    if (!panel_) {
        createMainWindow();
        // One pass before the window first maps, so its first frame shows the memory, disk
        // and network figures rather than empty sections a whole interval long. The CPU's
        // load needs two reads apart and keeps its first-tick state until the next pass. The
        // volume is read on a thread of its own: a healthy one answers within microseconds,
        // a hung network home leaves the disk section empty rather than the screen.
        stats_->tick();
        stats_->awaitFigures(firstFrameDiskWait, false);
    }
    bringForward(*panel_);
}

void TrovimoApp::callMainWindow() {
    handover_.rememberActiveWindow();
    showMainWindow();
    // From the top each time, where a required update is announced.
    if (const std::vector<PanelItem>& items = panel_->keyboardFocus().items(); !items.empty()) {
        panel_->focusItem(items.front());
    }
    handover_.takeFocus(*panel_);
}

bool TrovimoApp::eventFilter(QObject* watched, QEvent* event) {
    if (panel_ && watched == panel_.get() && event->type() == QEvent::Show) {
        runStartupTask();
    }
    if (panel_ && watched == panel_.get() && event->type() == QEvent::WindowDeactivate) {
        handover_.forget();
    }
    return QObject::eventFilter(watched, event);
}

void TrovimoApp::runStartupTask() {
    // Both return at once when their loop already runs: showing the panel again starts
    // nothing twice.
    stats_->start();
    updates_->startPolling();
}

AboutView* TrovimoApp::aboutWindow() const noexcept {
    return about_;
}

SettingsView* TrovimoApp::settingsWindow() const noexcept {
    return settingsWindow_;
}

AboutView& TrovimoApp::openAbout() {
    if (!about_) {
        about_ = new AboutView;
        about_->setAttribute(Qt::WA_DeleteOnClose);
        about_->setWindowTitle(QString::fromUtf8(aboutWindowTitle));
        about_->setWindowIcon(AboutView::applicationIcon());
    }
    bringForward(*about_);
    return *about_;
}

SettingsView& TrovimoApp::openSettings() {
    if (!settingsWindow_) {
        if (!autostart_) {
            autostart_ =
                std::make_unique<AutostartLoginItem>(QString(), QByteArray(), panelMachine_);
        }
        // Made afresh after each close, so the login switch shows the desktop's state now.
        settingsWindow_ = new SettingsView(settings_, *autostart_);
        settingsWindow_->setAttribute(Qt::WA_DeleteOnClose);
        settingsWindow_->setWindowTitle(QString::fromUtf8(settingsWindowTitle));
        settingsWindow_->setWindowIcon(AboutView::applicationIcon());
    }
    bringForward(*settingsWindow_);
    return *settingsWindow_;
}

} // namespace trovimo

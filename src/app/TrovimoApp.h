#pragma once

#include "model/StatsSource.h"
#include "window/KeyboardHandover.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

namespace trovimo {

class AboutView;
class AutostartLoginItem;
class CompositorWatch;
class ContentView;
class MainWindowVisibility;
class SettingsStore;
class SettingsView;
class StatsStore;
class UpdateStore;
class WindowConfigurator;

// The root of the application: owns the statistics store and the update store, registers
// the default settings before any window reads them, shows the panel and opens the about
// and settings windows, one of each at most.
class TrovimoApp : public QObject {
    Q_OBJECT
public:
    struct Options {
        // SettingsStore::shared() when null.
        SettingsStore* settings = nullptr;
        // This machine's readers when empty.
        std::function<std::unique_ptr<StatsSource>()> source;
        // The panel of another machine of the settings' list (trovimo --machine): it shows that
        // machine, keeps its own position and has a login entry of its own. Empty: this
        // machine's own panel, which shows the machine last chosen in its menu.
        QString machine;
        // An update store on the maker's feed when empty.
        std::function<std::unique_ptr<UpdateStore>()> updateStore;
    };

    explicit TrovimoApp(QObject* parent = nullptr);
    explicit TrovimoApp(Options options, QObject* parent = nullptr);
    ~TrovimoApp() override;

    // Shows the panel, made on first use, at the top-right corner of the primary screen's
    // work area unless a saved position is restored. Each time it is shown the sampling
    // and the update check are started; both start only once.
    void showMainWindow();
    // The panel shows `machine` from now on (a name of the settings' list; empty: this machine),
    // as chosen in its menu. This machine's own panel keeps the choice for the next start.
    void showMachine(const QString& machine);
    // The user asked for the panel again (a second start, often from a keyboard shortcut):
    // shown, and the keyboard on it until Escape gives it back.
    void callMainWindow();
    // Opens the window, or brings forward the one already open.
    AboutView& openAbout();
    SettingsView& openSettings();

    [[nodiscard]] StatsStore& stats() noexcept { return *stats_; }
    [[nodiscard]] UpdateStore& updates() noexcept { return *updates_; }
    [[nodiscard]] SettingsStore& settings() noexcept { return settings_; }
    [[nodiscard]] ContentView* mainWindow() const noexcept { return panel_.get(); }
    // The open windows; null while closed.
    [[nodiscard]] AboutView* aboutWindow() const noexcept;
    [[nodiscard]] SettingsView* settingsWindow() const noexcept;

    static constexpr const char* mainWindowTitle = "Trovimo";
    static constexpr const char* aboutWindowTitle = "Trovimo について";
    static constexpr const char* settingsWindowTitle = "設定";
    // The settings key of the machine this machine's own panel shows (absent: this machine).
    static constexpr const char* shownMachineKey = "shownMachine";

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createMainWindow();
    void runStartupTask();
    // The source for `machine`; this machine's when it is empty or no longer listed.
    [[nodiscard]] std::unique_ptr<StatsSource> sourceFor(const QString& machine);

    SettingsStore& settings_;
    std::function<std::unique_ptr<StatsSource>()> localSource_;
    QString panelMachine_;
    std::unique_ptr<StatsStore> stats_;
    std::unique_ptr<UpdateStore> updates_;
    std::unique_ptr<CompositorWatch> compositor_;
    std::unique_ptr<WindowConfigurator> configurator_;
    std::unique_ptr<MainWindowVisibility> visibility_;
    std::unique_ptr<ContentView> panel_;
    std::unique_ptr<AutostartLoginItem> autostart_;
    QPointer<AboutView> about_;
    QPointer<SettingsView> settingsWindow_;
    KeyboardHandover handover_;
};

} // namespace trovimo

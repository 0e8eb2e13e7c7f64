#pragma once

#include "panel/ContextMenuModel.h"
#include "panel/PanelLayout.h"

#include <QObject>

#include <functional>
#include <vector>

class QMenu;
class QWidget;

namespace trovimo {

class SettingsStore;
class UpdateStore;

// What the panel's controls and its context menu do: switch the window settings, open the
// update page, ask for the settings and about windows, start one of the other apps, quit.
class PanelCommands : public QObject {
    Q_OBJECT
public:
    // `updates` may be null (update checking built out).
    PanelCommands(SettingsStore& settings, UpdateStore* updates, QObject* parent = nullptr);

    // The other-apps launcher: its entries for the menu and how to open one of them.
    void setLauncher(std::function<std::vector<LauncherMenuEntry>()> entries,
                     std::function<void(int index)> open);
    // The machines the menu offers, asked each time it opens.
    void setMachines(std::function<MachineMenu()> machines) { machines_ = std::move(machines); }

    // The update store's status as the panel shows it.
    [[nodiscard]] PanelUpdateStatus updateStatus() const;
    // The context menu as it would open now, its actions wired to perform(); the caller
    // owns it.
    [[nodiscard]] QMenu* contextMenu(QWidget* parent);

    void perform(PanelAction action);
    void perform(const ContextMenuItem& item);

signals:
    void openSettingsRequested();
    void openAboutRequested();
    void quitRequested();
    // The user chose the machine to show (empty: this machine).
    void showMachineRequested(const QString& machine);

private:
    void openUpdatePage();
    void addItems(QMenu& menu, const std::vector<ContextMenuItem>& items,
                  const std::vector<LauncherMenuEntry>& entries);

    SettingsStore& settings_;
    UpdateStore* updates_;
    std::function<std::vector<LauncherMenuEntry>()> launcherEntries_;
    std::function<void(int)> launcherOpen_;
    std::function<MachineMenu()> machines_;
};

} // namespace trovimo

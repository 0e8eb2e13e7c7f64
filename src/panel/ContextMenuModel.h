#pragma once

#include "panel/PanelInputs.h"

#include <QIcon>
#include <QString>
#include <QStringList>

#include <span>
#include <vector>

namespace trovimo {

// One of the maker's other applications as the menu shows it; a null icon means the
// application is not installed.
struct LauncherMenuEntry {
    QString name;
    QString summary;
    QIcon icon;
};

// The machines a panel can show, for its menu.
struct MachineMenu {
    QStringList names; // the settings' other machines, in their order; none: no menu entry
    QString current;   // the one the panel shows; empty: this machine
};

enum class ContextMenuAction : std::uint8_t {
    none, // separators and submenus
    showMachine,
    openUpdatePage,
    toggleAlwaysOnTop,
    toggleSnapToEdges,
    openSettings,
    openAbout,
    launchApp,
    quit,
};

struct ContextMenuItem {
    enum class Kind : std::uint8_t { action, toggle, separator, submenu };
    Kind kind = Kind::action;
    QString title;
    ContextMenuAction action = ContextMenuAction::none;
    bool checked = false;                    // toggles only
    int launcherIndex = -1;                  // launchApp only: index into the launcher's entries
    bool hasIcon = false;                    // launchApp only
    QString machine{};                       // showMachine only: the name, empty for this machine
    std::vector<ContextMenuItem> children{}; // submenus only

    friend bool operator==(const ContextMenuItem&, const ContextMenuItem&) = default;
};

// The panel's context menu, top to bottom. With other machines listed it offers them in
// "表示するマシン", the one shown checked; without, the menu has no such entry.
[[nodiscard]] std::vector<ContextMenuItem>
contextMenuItems(const PanelUpdateStatus& update, const DisplaySettings& settings,
                 std::span<const LauncherMenuEntry> launcher, const MachineMenu& machines = {});

} // namespace trovimo

#pragma once

#include "panel/PanelInputs.h"

#include <QIcon>
#include <QString>

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

enum class ContextMenuAction : std::uint8_t {
    none, // separators
    openUpdatePage,
    toggleAlwaysOnTop,
    toggleSnapToEdges,
    openSettings,
    openAbout,
    launchApp,
    quit,
};

struct ContextMenuItem {
    enum class Kind : std::uint8_t { action, toggle, separator };
    Kind kind = Kind::action;
    QString title;
    ContextMenuAction action = ContextMenuAction::none;
    bool checked = false;   // toggles only
    int launcherIndex = -1; // launchApp only: index into the launcher's entries
    bool hasIcon = false;   // launchApp only

    friend bool operator==(const ContextMenuItem&, const ContextMenuItem&) = default;
};

// The panel's context menu, top to bottom.
[[nodiscard]] std::vector<ContextMenuItem>
contextMenuItems(const PanelUpdateStatus& update, const DisplaySettings& settings,
                 std::span<const LauncherMenuEntry> launcher);

} // namespace trovimo

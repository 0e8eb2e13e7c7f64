#include "panel/ContextMenuModel.h"

#include "model/RemoteMachine.h"

namespace trovimo {
namespace {

ContextMenuItem separator() {
    return {ContextMenuItem::Kind::separator, QString(), ContextMenuAction::none};
}

ContextMenuItem action(const QString& title, ContextMenuAction what) {
    return {ContextMenuItem::Kind::action, title, what};
}

ContextMenuItem toggle(const QString& title, ContextMenuAction what, bool checked) {
    return {ContextMenuItem::Kind::toggle, title, what, checked};
}

} // namespace

std::vector<ContextMenuItem> contextMenuItems(const PanelUpdateStatus& update,
                                              const DisplaySettings& settings,
                                              std::span<const LauncherMenuEntry> launcher,
                                              const MachineMenu& machines) {
    std::vector<ContextMenuItem> items;
    if (update.kind != PanelUpdateStatus::Kind::upToDate) {
        items.push_back(action(QStringLiteral("新しいバージョン v") + update.latestVersion +
                                   QStringLiteral(" があります…"),
                               ContextMenuAction::openUpdatePage));
        items.push_back(separator());
    }
    if (!machines.names.isEmpty()) {
        ContextMenuItem menu{ContextMenuItem::Kind::submenu, QStringLiteral("表示するマシン")};
        const auto choice = [&](const QString& title, const QString& machine) {
            ContextMenuItem item =
                toggle(title, ContextMenuAction::showMachine, machine == machines.current);
            item.machine = machine;
            menu.children.push_back(std::move(item));
        };
        choice(QString::fromUtf8(localMachineName), QString());
        for (const QString& name : machines.names) {
            choice(name, name);
        }
        items.push_back(std::move(menu));
        items.push_back(separator());
    }
    items.push_back(toggle(QStringLiteral("最前面に表示"), ContextMenuAction::toggleAlwaysOnTop,
                           settings.alwaysOnTop));
    items.push_back(toggle(QStringLiteral("画面端に吸着"), ContextMenuAction::toggleSnapToEdges,
                           settings.snapToEdges));
    items.push_back(action(QStringLiteral("設定…"), ContextMenuAction::openSettings));
    items.push_back(action(QStringLiteral("Trovimo について"), ContextMenuAction::openAbout));
    items.push_back(separator());
    for (std::size_t index = 0; index < launcher.size(); ++index) {
        const LauncherMenuEntry& entry = launcher[index];
        const bool installed = !entry.icon.isNull();
        ContextMenuItem item =
            action(entry.name + QStringLiteral(" — ") + entry.summary +
                       (installed ? QString() : QStringLiteral("（未インストール）")),
                   ContextMenuAction::launchApp);
        item.launcherIndex = static_cast<int>(index);
        item.hasIcon = installed;
        items.push_back(std::move(item));
    }
    items.push_back(separator());
    items.push_back(action(QStringLiteral("Trovimo を終了"), ContextMenuAction::quit));
    return items;
}

} // namespace trovimo

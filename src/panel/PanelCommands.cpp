#include "panel/PanelCommands.h"

#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"
#include "update/UpdateStore.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QMenu>
#include <QPointer>

namespace trovimo {
namespace {

PanelUpdateStatus panelStatus(const UpdateStatus& status) {
    PanelUpdateStatus panel;
    switch (status.kind()) {
    case UpdateStatus::Kind::optional:
        panel.kind = PanelUpdateStatus::Kind::optional;
        break;
    case UpdateStatus::Kind::required:
        panel.kind = PanelUpdateStatus::Kind::required;
        break;
    case UpdateStatus::Kind::upToDate:
        return panel;
    }
    if (status.info()) {
        panel.latestVersion = status.info()->latestVersion;
        panel.url = status.info()->url;
    }
    return panel;
}

} // namespace

PanelCommands::PanelCommands(SettingsStore& settings, UpdateStore* updates, QObject* parent)
    : QObject(parent), settings_(settings), updates_(updates) {}

void PanelCommands::setLauncher(std::function<std::vector<LauncherMenuEntry>()> entries,
                                std::function<void(int)> open) {
    launcherEntries_ = std::move(entries);
    launcherOpen_ = std::move(open);
}

PanelUpdateStatus PanelCommands::updateStatus() const {
    return updates_ != nullptr ? panelStatus(updates_->status()) : PanelUpdateStatus{};
}

QMenu* PanelCommands::contextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    const std::vector<LauncherMenuEntry> entries =
        launcherEntries_ ? launcherEntries_() : std::vector<LauncherMenuEntry>{};
    addItems(*menu,
             contextMenuItems(updateStatus(), settings_.display(), entries,
                              machines_ ? machines_() : MachineMenu{}),
             entries);
    return menu;
}

void PanelCommands::addItems(QMenu& menu, const std::vector<ContextMenuItem>& items,
                             const std::vector<LauncherMenuEntry>& entries) {
    QPointer<PanelCommands> self(this);
    for (const ContextMenuItem& item : items) {
        if (item.kind == ContextMenuItem::Kind::separator) {
            menu.addSeparator();
            continue;
        }
        // A title may carry outside text (a feed's version, an application's name, a machine's
        // name): an "&" in it is shown as it stands, not taken for a shortcut's mark.
        const QString title = QString(item.title).replace(u'&', QStringLiteral("&&"));
        if (item.kind == ContextMenuItem::Kind::submenu) {
            addItems(*menu.addMenu(title), item.children, entries);
            continue;
        }
        QAction* action = menu.addAction(title);
        if (item.kind == ContextMenuItem::Kind::toggle) {
            action->setCheckable(true);
            action->setChecked(item.checked);
        }
        if (item.hasIcon && item.launcherIndex >= 0 &&
            item.launcherIndex < static_cast<int>(entries.size())) {
            action->setIcon(entries[static_cast<std::size_t>(item.launcherIndex)].icon);
        }
        connect(action, &QAction::triggered, this, [self, item] {
            if (self) {
                self->perform(item);
            }
        });
    }
}

void PanelCommands::openUpdatePage() {
    if (updates_ == nullptr || !updates_->status().info()) {
        return;
    }
    // The result is not acted upon: there is nothing sensible to show the user instead.
    QDesktopServices::openUrl(updates_->status().info()->url);
}

void PanelCommands::perform(PanelAction action) {
    switch (action) {
    case PanelAction::openUpdatePage:
        openUpdatePage();
        break;
    case PanelAction::openSettings:
        emit openSettingsRequested();
        break;
    case PanelAction::togglePin:
        settings_.setBool(QString::fromLatin1(keys::alwaysOnTop), !settings_.display().alwaysOnTop);
        break;
    }
}

void PanelCommands::perform(const ContextMenuItem& item) {
    const DisplaySettings current = settings_.display();
    switch (item.action) {
    case ContextMenuAction::none:
        break;
    case ContextMenuAction::showMachine:
        emit showMachineRequested(item.machine);
        break;
    case ContextMenuAction::openUpdatePage:
        openUpdatePage();
        break;
    case ContextMenuAction::toggleAlwaysOnTop:
        settings_.setBool(QString::fromLatin1(keys::alwaysOnTop), !current.alwaysOnTop);
        break;
    case ContextMenuAction::toggleSnapToEdges:
        settings_.setBool(QString::fromLatin1(keys::snapToEdges), !current.snapToEdges);
        break;
    case ContextMenuAction::openSettings:
        emit openSettingsRequested();
        break;
    case ContextMenuAction::openAbout:
        emit openAboutRequested();
        break;
    case ContextMenuAction::launchApp:
        if (launcherOpen_ && item.launcherIndex >= 0) {
            launcherOpen_(item.launcherIndex);
        }
        break;
    case ContextMenuAction::quit:
        emit quitRequested();
        QCoreApplication::quit();
        break;
    }
}

} // namespace trovimo

#include "panel/ContentView.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

// The panel from the keyboard and its context menu.
namespace trovimo {

QMenu* ContentView::buildContextMenu(QWidget* parent) {
    return commands_.contextMenu(parent);
}

void ContentView::openContextMenu(QPoint globalPosition) {
    QMenu* menu = buildContextMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu_ = menu;
    menu->popup(globalPosition);
}

void ContentView::contextMenuEvent(QContextMenuEvent* event) {
    // From the keyboard (the menu key, Shift+F10): at the panel's centre, as for other
    // desktop windows.
    openContextMenu(event->reason() == QContextMenuEvent::Keyboard ? mapToGlobal(rect().center())
                                                                   : event->globalPos());
    event->accept();
}

void ContentView::pressItem(const PanelItem& item) {
    if (const std::optional<PanelAction> action = panelItemAction(item)) {
        commands_.perform(*action);
    }
}

void ContentView::focusItem(const PanelItem& item) {
    const bool moved = focus_.moveTo(item);
    if (!isActiveWindow()) {
        activateWindow();
    }
    if (!hasFocus()) {
        setFocus(Qt::OtherFocusReason); // tells of the item itself
    } else if (moved) {
        emit keyboardFocusChanged();
    }
}

void ContentView::keyPressEvent(QKeyEvent* event) {
    const PanelKeyCommand command = panelKeyCommand(event->key(), event->modifiers());
    switch (command) {
    case PanelKeyCommand::none:
        QWidget::keyPressEvent(event);
        return;
    case PanelKeyCommand::next:
    case PanelKeyCommand::previous:
    case PanelKeyCommand::first:
    case PanelKeyCommand::last:
        if (focus_.move(command)) {
            emit keyboardFocusChanged();
        }
        break;
    case PanelKeyCommand::press:
        if (const std::optional<PanelItem> item = focus_.current()) {
            pressItem(*item);
        }
        break;
    case PanelKeyCommand::openMenu:
        openContextMenu(mapToGlobal(rect().center()));
        break;
    case PanelKeyCommand::giveBack:
        emit focusReturnRequested();
        break;
    }
    event->accept();
}

// Nothing on the panel shows the focus, so neither repaints it (QWidget's would repaint all).
void ContentView::focusInEvent(QFocusEvent* /*event*/) {
    emit keyboardFocusChanged();
}

void ContentView::focusOutEvent(QFocusEvent* /*event*/) {
    emit keyboardFocusChanged();
}

bool ContentView::focusNextPrevChild(bool /*next*/) {
    return false; // Tab moves between the panel's items (keyPressEvent), not away from it
}

} // namespace trovimo

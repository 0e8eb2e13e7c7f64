#include "panel/PanelAccessibleItem.h"

#include "panel/ContentView.h"
#include "panel/SpokenTexts.h"

#include <QAccessible>

#include <algorithm>

namespace trovimo {
namespace {

const QString settingsName = QStringLiteral("設定");
// As the context menu's item for the same setting.
const QString pinName = QStringLiteral("最前面に表示");

bool isControl(const PanelItem& item) {
    return std::holds_alternative<PanelControl>(item);
}

} // namespace

bool PanelAccessibleItem::isShown() const {
    if (!view_) {
        return false;
    }
    const std::vector<PanelItem>& items = view_->keyboardFocus().items();
    return std::find(items.begin(), items.end(), item_) != items.end();
}

QWindow* PanelAccessibleItem::window() const {
    return view_ ? view_->window()->windowHandle() : nullptr;
}

QAccessibleInterface* PanelAccessibleItem::parent() const {
    return view_ ? QAccessible::queryAccessibleInterface(view_.data()) : nullptr;
}

QString PanelAccessibleItem::value() const {
    if (!view_ || isControl(item_) || !isShown()) {
        return {};
    }
    return spoken::blockValue(std::get<PanelBlock>(item_), view_->currentInputs());
}

QString PanelAccessibleItem::text(QAccessible::Text kind) const {
    if (!view_) {
        return {};
    }
    const auto* control = std::get_if<PanelControl>(&item_);
    switch (kind) {
    case QAccessible::Name:
        if (control != nullptr) {
            return *control == PanelControl::settings ? settingsName : pinName;
        }
        return spoken::blockName(std::get<PanelBlock>(item_));
    case QAccessible::Description:
        if (control != nullptr) {
            if (*control == PanelControl::settings) {
                return QStringLiteral("設定ウィンドウを開きます");
            }
            // The tooltip a pointer shows over it, which says where the panel is now.
            return hoverControls(view_->currentInputs().settings.alwaysOnTop).back().toolTip;
        }
        return value();
    case QAccessible::Value:
        return value();
    default:
        return {};
    }
}

QRect PanelAccessibleItem::rect() const {
    if (!view_ || !isShown()) {
        return {};
    }
    const QRect local = panelItemRect(item_, view_->currentLayout()).toAlignedRect();
    return QRect(view_->mapToGlobal(local.topLeft()), local.size());
}

QAccessible::Role PanelAccessibleItem::role() const {
    if (const auto* control = std::get_if<PanelControl>(&item_)) {
        return *control == PanelControl::pin ? QAccessible::CheckBox : QAccessible::PushButton;
    }
    return std::get<PanelBlock>(item_) == PanelBlock(PanelNotice::updateBadge)
               ? QAccessible::PushButton
               : QAccessible::StaticText;
}

QAccessible::State PanelAccessibleItem::state() const {
    QAccessible::State state;
    const bool shown = isShown();
    state.invisible = !shown || !view_->isVisible();
    state.focusable = shown;
    state.readOnly = !isControl(item_);
    if (shown && view_->hasFocus() && view_->openMenu() == nullptr) {
        state.focused = view_->keyboardFocus().current() == item_;
    }
    if (item_ == PanelItem(PanelControl::pin)) {
        state.checkable = true;
        state.checked = view_ && view_->currentInputs().settings.alwaysOnTop;
    }
    return state;
}

void* PanelAccessibleItem::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface && !isControl(item_)) {
        return static_cast<QAccessibleTextInterface*>(this);
    }
    if (type == QAccessible::ActionInterface) {
        return static_cast<QAccessibleActionInterface*>(this);
    }
    return nullptr;
}

void PanelAccessibleItem::selection(int /*selectionIndex*/, int* startOffset,
                                    int* endOffset) const {
    *startOffset = 0;
    *endOffset = 0;
}

QString PanelAccessibleItem::text(int startOffset, int endOffset) const {
    const QString all = value();
    const int end = endOffset < 0 ? static_cast<int>(all.size())
                                  : std::min(endOffset, static_cast<int>(all.size()));
    const int start = std::clamp(startOffset, 0, end);
    return all.mid(start, end - start);
}

int PanelAccessibleItem::characterCount() const {
    return static_cast<int>(value().size());
}

QString PanelAccessibleItem::attributes(int offset, int* startOffset, int* endOffset) const {
    // One run without attributes over the whole text.
    *startOffset = offset < 0 ? -1 : 0;
    *endOffset = offset < 0 ? -1 : characterCount();
    return {};
}

QStringList PanelAccessibleItem::actionNames() const {
    if (!isShown()) {
        return {};
    }
    QStringList names;
    if (item_ == PanelItem(PanelControl::pin)) {
        names << toggleAction();
    } else if (panelItemAction(item_)) {
        names << pressAction();
    }
    names << setFocusAction();
    return names;
}

void PanelAccessibleItem::doAction(const QString& actionName) {
    if (!view_ || !isShown()) {
        return;
    }
    if (actionName == setFocusAction()) {
        view_->focusItem(item_);
    } else if (actionName == pressAction() || actionName == toggleAction()) {
        view_->pressItem(item_);
    }
}

QStringList PanelAccessibleItem::keyBindingsForAction(const QString& actionName) const {
    if (actionName == pressAction() || actionName == toggleAction()) {
        return {QStringLiteral("space")};
    }
    return {};
}

} // namespace trovimo

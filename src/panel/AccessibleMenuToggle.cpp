#include "panel/AccessibleMenuToggle.h"

#include <QAccessible>
#include <QAction>
#include <QMenu>

namespace trovimo {

QAccessibleInterface* AccessibleMenuToggle::create(QObject* object) {
    auto* action = qobject_cast<QAction*>(object);
    if (action == nullptr || !action->isCheckable()) {
        return nullptr;
    }
    for (QObject* widget : action->associatedObjects()) {
        if (auto* menu = qobject_cast<QMenu*>(widget)) {
            return new AccessibleMenuToggle(menu, action);
        }
    }
    return nullptr;
}

QObject* AccessibleMenuToggle::object() const {
    return action_;
}

QWindow* AccessibleMenuToggle::window() const {
    return menu_ ? menu_->windowHandle() : nullptr;
}

QAccessibleInterface* AccessibleMenuToggle::parent() const {
    return menu_ ? QAccessible::queryAccessibleInterface(menu_.data()) : nullptr;
}

QString AccessibleMenuToggle::text(QAccessible::Text kind) const {
    if (kind != QAccessible::Name || !action_) {
        return {};
    }
    // As the menu shows it: "&&" is an ampersand, a single "&" marks the mnemonic.
    QString name;
    const QString title = action_->text();
    for (qsizetype at = 0; at < title.size(); ++at) {
        if (title[at] == u'&' && at + 1 < title.size()) {
            ++at;
        }
        name += title[at];
    }
    return name;
}

QRect AccessibleMenuToggle::rect() const {
    if (!isValid()) {
        return {};
    }
    const QRect local = menu_->actionGeometry(action_);
    return QRect(menu_->mapToGlobal(local.topLeft()), local.size());
}

QAccessible::State AccessibleMenuToggle::state() const {
    QAccessible::State state;
    if (!isValid()) {
        state.invalid = true;
        return state;
    }
    state.checkable = true;
    state.checked = action_->isChecked();
    state.focusable = true;
    state.focused = menu_->isVisible() && menu_->activeAction() == action_;
    state.disabled = !action_->isEnabled();
    state.invisible = !action_->isVisible() || !menu_->isVisible();
    return state;
}

void* AccessibleMenuToggle::interface_cast(QAccessible::InterfaceType type) {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                : nullptr;
}

QStringList AccessibleMenuToggle::actionNames() const {
    return isValid() && action_->isEnabled() ? QStringList{toggleAction()} : QStringList{};
}

void AccessibleMenuToggle::doAction(const QString& actionName) {
    if (actionName == toggleAction() && isValid() && action_->isEnabled()) {
        // As choosing it does: the menu closes and the action runs.
        const QPointer<QAction> action = action_;
        menu_->close();
        if (action) {
            action->trigger();
        }
    }
}

} // namespace trovimo

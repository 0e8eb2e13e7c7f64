#pragma once

#include "panel/AccessibleLeaf.h"

#include <QAccessibleInterface>
#include <QPointer>

class QAction;
class QMenu;

namespace trovimo {

// A checkable item of a menu ("最前面に表示", "画面端に吸着") as a check box. Qt 6.4 presents it
// as a plain menu item and passes its "checkable" state to no screen reader, so an item that
// is off sounds like one that does something; a check box is read with its state either way.
class AccessibleMenuToggle : public AccessibleLeaf, public QAccessibleActionInterface {
public:
    AccessibleMenuToggle(QMenu* menu, QAction* action) : menu_(menu), action_(action) {}

    // For `object` when it is a checkable action of a menu; null otherwise (Qt's own then).
    [[nodiscard]] static QAccessibleInterface* create(QObject* object);

    bool isValid() const override { return menu_ && action_; }
    QObject* object() const override;
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QString text(QAccessible::Text kind) const override;
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::CheckBox; }
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& /*actionName*/) const override { return {}; }

private:
    QPointer<QMenu> menu_;
    QPointer<QAction> action_;
};

} // namespace trovimo

#pragma once

#include "panel/AccessibleLeaf.h"
#include "panel/PanelFocus.h"

#include <QAccessibleInterface>
#include <QPointer>

namespace trovimo {

class ContentView;

// One item of the panel as assistive technology sees it. A block is a read-only text, named
// as its switch in the settings window, its figures in words the value (the Text interface,
// the description, QAccessible::Value); the update badge and the settings control are push
// buttons, the pin a check box. Every item takes the keyboard focus. All of it is read from
// the view at the moment it is asked for, so reading again after a change gives the new state.
class PanelAccessibleItem : public AccessibleLeaf,
                            public QAccessibleTextInterface,
                            public QAccessibleActionInterface {
public:
    PanelAccessibleItem(ContentView* view, PanelItem item) : view_(view), item_(item) {}

    [[nodiscard]] const PanelItem& item() const noexcept { return item_; }
    // Whether the panel shows it now.
    [[nodiscard]] bool isShown() const;

    bool isValid() const override { return !view_.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QString text(QAccessible::Text kind) const override;
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    // Text: the value, read-only, without a caret or a selection.
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override { return 0; }
    void addSelection(int /*start*/, int /*end*/) override {}
    void removeSelection(int /*index*/) override {}
    void setSelection(int /*index*/, int /*start*/, int /*end*/) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int /*position*/) override {}
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int /*offset*/) const override { return {}; }
    int offsetAtPoint(const QPoint& /*point*/) const override { return -1; }
    void scrollToSubstring(int /*start*/, int /*end*/) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

    // Action: press (the badge, the settings control), toggle (the pin), and focus.
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

private:
    [[nodiscard]] QString value() const;

    QPointer<ContentView> view_;
    PanelItem item_;
};

} // namespace trovimo

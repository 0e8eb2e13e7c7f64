#include "panel/PanelAccessibility.h"

#include "panel/AccessibleMenuToggle.h"
#include "panel/ContentView.h"
#include "panel/PanelAccessibleItem.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMenu>

#include <memory>
#include <utility>
#include <vector>

namespace trovimo {
namespace {

// Heard when the panel comes forward: how to use it without a mouse.
const QString keysHint =
    QStringLiteral("上下の矢印キーで項目を移動、スペースキーで押す、メニューキーでメニュー、"
                   "Esc キーで元のウィンドウに戻る");

// The panel's window with its items as children. Qt owns it (made through the factory, deleted
// with the widget); the items are registered with Qt as they are first asked for and released
// here.
class AccessiblePanel : public QAccessibleWidget {
public:
    explicit AccessiblePanel(ContentView* view) : QAccessibleWidget(view, QAccessible::Window) {
        if (QAccessible::isActive()) {
            announced_ = currentValues();
        }
        QObject::connect(view, &ContentView::layoutChanged, view, [this] { announceChanges(); });
        // After Qt's own focus event for the window, which would otherwise have the last word.
        QObject::connect(
            view, &ContentView::keyboardFocusChanged, view, [this] { announceFocus(); },
            Qt::QueuedConnection);
    }
    ~AccessiblePanel() override {
        for (const auto& [item, id] : items_) {
            QAccessible::deleteAccessibleInterface(id);
        }
    }

    QString text(QAccessible::Text kind) const override {
        switch (kind) {
        case QAccessible::Name:
            return QStringLiteral("Trovimo");
        case QAccessible::Description:
            return keysHint;
        default:
            return QAccessibleWidget::text(kind);
        }
    }

    int childCount() const override {
        return static_cast<int>(view()->keyboardFocus().items().size()) +
               (view()->openMenu() != nullptr ? 1 : 0);
    }
    QAccessibleInterface* child(int index) const override {
        const std::vector<PanelItem>& items = view()->keyboardFocus().items();
        if (index >= 0 && index < static_cast<int>(items.size())) {
            return itemInterface(items[static_cast<std::size_t>(index)]);
        }
        // The context menu's parent is the panel; while open it is the panel's last child.
        if (index == static_cast<int>(items.size()) && view()->openMenu() != nullptr) {
            return QAccessible::queryAccessibleInterface(view()->openMenu());
        }
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int index = 0; index < childCount(); ++index) {
            if (this->child(index) == child) {
                return index;
            }
        }
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPointF local = view()->mapFromGlobal(QPoint(x, y));
        const std::vector<PanelItem>& items = view()->keyboardFocus().items();
        // The controls lie over the first block: they are found first.
        for (auto item = items.rbegin(); item != items.rend(); ++item) {
            if (panelItemRect(*item, view()->currentLayout()).contains(local)) {
                return itemInterface(*item);
            }
        }
        return nullptr;
    }
    QAccessible::State state() const override {
        // The focus is on one of the items, not on the window around them.
        QAccessible::State state = QAccessibleWidget::state();
        state.focused = false;
        return state;
    }
    QAccessibleInterface* focusChild() const override {
        if (QMenu* menu = view()->openMenu()) {
            return QAccessible::queryAccessibleInterface(menu);
        }
        const std::optional<PanelItem> item = view()->keyboardFocus().current();
        return view()->hasFocus() && item ? itemInterface(*item) : nullptr;
    }

private:
    ContentView* view() const { return static_cast<ContentView*>(widget()); }

    QAccessibleInterface* itemInterface(const PanelItem& item) const {
        for (const auto& [known, id] : items_) {
            if (known == item) {
                return QAccessible::accessibleInterface(id);
            }
        }
        auto* made = new PanelAccessibleItem(view(), item);
        items_.emplace_back(item, QAccessible::registerAccessibleInterface(made));
        return made;
    }

    std::vector<std::pair<PanelItem, QString>> currentValues() const {
        std::vector<std::pair<PanelItem, QString>> values;
        for (const PanelItem& item : view()->keyboardFocus().items()) {
            values.emplace_back(item, itemInterface(item)->text(QAccessible::Description));
        }
        return values;
    }

    void announceFocus() {
        const std::optional<PanelItem> item = view()->keyboardFocus().current();
        if (QAccessible::isActive() && view()->hasFocus() && item) {
            QAccessibleEvent event(itemInterface(*item), QAccessible::Focus);
            QAccessible::updateAccessibility(&event);
        }
    }

    // Tells a listening screen reader what changed since the last layout pass: a value, the
    // pin's state, items that came or went.
    void announceChanges() {
        if (!QAccessible::isActive()) {
            announced_.clear();
            return;
        }
        std::vector<std::pair<PanelItem, QString>> current = currentValues();
        // The first pass after a screen reader came only takes note.
        const bool first = announced_.empty();
        bool rearranged = !first && current.size() != announced_.size();
        for (std::size_t index = 0; index < current.size(); ++index) {
            const auto& [item, value] = current[index];
            QAccessibleInterface* iface = itemInterface(item);
            if (first) {
                continue;
            }
            if (index >= announced_.size() || announced_[index].first != item) {
                rearranged = true;
                QAccessibleEvent shown(iface, QAccessible::ObjectShow);
                QAccessible::updateAccessibility(&shown);
                continue;
            }
            const QString& before = announced_[index].second;
            if (before == value) {
                continue;
            }
            if (item == PanelItem(PanelControl::pin)) {
                QAccessible::State changed;
                changed.checked = true;
                QAccessibleStateChangeEvent state(iface, changed);
                QAccessible::updateAccessibility(&state);
            } else if (iface->state().focused) {
                // Where a screen reader may say it: text events carry the new text, which Qt
                // 6.4's description event does not. Elsewhere the description event alone
                // keeps a client's cache true, at a third of the messages.
                QAccessibleTextUpdateEvent text(iface, 0, before, value);
                QAccessible::updateAccessibility(&text);
            }
            QAccessibleEvent description(iface, QAccessible::DescriptionChanged);
            QAccessible::updateAccessibility(&description);
        }
        if (rearranged) {
            QAccessibleEvent event(widget(), QAccessible::ObjectReorder);
            QAccessible::updateAccessibility(&event);
        }
        announced_ = std::move(current);
    }

    // Made on first use, one per item for the panel's life.
    mutable std::vector<std::pair<PanelItem, QAccessible::Id>> items_;
    std::vector<std::pair<PanelItem, QString>> announced_;
};

QAccessibleInterface* panelFactory(const QString& /*className*/, QObject* object) {
    if (auto* view = qobject_cast<ContentView*>(object)) {
        return new AccessiblePanel(view);
    }
    return AccessibleMenuToggle::create(object);
}

} // namespace

void installPanelAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(panelFactory);
        return true;
    }();
    (void)installed;
}

} // namespace trovimo

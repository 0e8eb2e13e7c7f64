#pragma once

#include "panel/PanelLayout.h"

#include <QRectF>
#include <Qt>

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

// The panel without a mouse: what the keyboard moves through, and what each key does. A
// screen reader follows the same items (PanelAccessibility).
namespace trovimo {

// The two small controls at the panel's top-right corner.
enum class PanelControl : std::uint8_t { settings, pin };

// Something the keyboard and a screen reader land on: a shown block (the update badge, the
// clock, a section, the empty-state text) or a control.
using PanelItem = std::variant<PanelBlock, PanelControl>;

// The shown blocks top to bottom, then the settings and the pin control. The controls are
// drawn only while the pointer is over the panel; without a pointer they are there all the same.
[[nodiscard]] std::vector<PanelItem> panelItems(const PanelLayoutResult& layout);

// Where `item` lies on the panel (panel coordinates); empty when it is not shown.
[[nodiscard]] QRectF panelItemRect(const PanelItem& item, const PanelLayoutResult& layout);

// What pressing `item` does: the badge opens the update page, the controls do what a click
// does; the other blocks only show.
[[nodiscard]] std::optional<PanelAction> panelItemAction(const PanelItem& item);

enum class PanelKeyCommand : std::uint8_t {
    none,
    next,     // Down, Right, Tab
    previous, // Up, Left, Shift+Tab
    first,    // Home
    last,     // End
    press,    // Space, Enter
    openMenu, // the Menu key, Shift+F10
    giveBack, // Escape: focus back to the window that had it
};
[[nodiscard]] PanelKeyCommand panelKeyCommand(int key, Qt::KeyboardModifiers modifiers);

// The item the keyboard is on. It stays on its item while blocks come and go around it; when
// its own block goes, the item that takes its place is current.
class PanelFocus {
public:
    // Returns whether the current item changed.
    bool setItems(std::vector<PanelItem> items);
    // next, previous, first or last; returns whether the current item changed.
    bool move(PanelKeyCommand command);
    // Returns whether the current item changed; an item that is not shown changes nothing.
    bool moveTo(const PanelItem& item);

    [[nodiscard]] std::optional<PanelItem> current() const;
    [[nodiscard]] const std::vector<PanelItem>& items() const noexcept { return items_; }

private:
    std::vector<PanelItem> items_;
    std::size_t index_ = 0;
};

} // namespace trovimo

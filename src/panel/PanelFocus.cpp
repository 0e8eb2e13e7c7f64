#include "panel/PanelFocus.h"

#include <algorithm>

namespace trovimo {

std::vector<PanelItem> panelItems(const PanelLayoutResult& layout) {
    std::vector<PanelItem> items(layout.blocks.begin(), layout.blocks.end());
    items.emplace_back(PanelControl::settings);
    items.emplace_back(PanelControl::pin);
    return items;
}

QRectF panelItemRect(const PanelItem& item, const PanelLayoutResult& layout) {
    if (const auto* control = std::get_if<PanelControl>(&item)) {
        // Where the control is drawn; the pin's place does not depend on its state.
        return hoverControls(true).at(*control == PanelControl::settings ? 0 : 1).rect;
    }
    const auto block = std::get<PanelBlock>(item);
    QRectF rect;
    for (std::size_t index = 0; index < layout.blocks.size(); ++index) {
        if (layout.blocks[index] != block || index >= layout.blockElements.size()) {
            continue;
        }
        const auto [begin, end] = layout.blockElements[index];
        for (std::size_t element = begin; element < end && element < layout.elements.size();
             ++element) {
            rect = rect.united(elementRect(layout.elements[element]));
        }
    }
    return rect;
}

std::optional<PanelAction> panelItemAction(const PanelItem& item) {
    if (const auto* control = std::get_if<PanelControl>(&item)) {
        return *control == PanelControl::settings ? PanelAction::openSettings
                                                  : PanelAction::togglePin;
    }
    if (std::get<PanelBlock>(item) == PanelBlock(PanelNotice::updateBadge)) {
        return PanelAction::openUpdatePage;
    }
    return std::nullopt;
}

PanelKeyCommand panelKeyCommand(int key, Qt::KeyboardModifiers modifiers) {
    // Shift, and the keypad flag of the arrows and Enter, change nothing but Tab and F10.
    const bool shift = modifiers.testFlag(Qt::ShiftModifier);
    if ((modifiers & ~(Qt::ShiftModifier | Qt::KeypadModifier)) != Qt::NoModifier) {
        return PanelKeyCommand::none;
    }
    switch (key) {
    case Qt::Key_Down:
    case Qt::Key_Right:
        return PanelKeyCommand::next;
    case Qt::Key_Tab:
        return shift ? PanelKeyCommand::previous : PanelKeyCommand::next;
    case Qt::Key_Up:
    case Qt::Key_Left:
    case Qt::Key_Backtab:
        return PanelKeyCommand::previous;
    case Qt::Key_Home:
        return PanelKeyCommand::first;
    case Qt::Key_End:
        return PanelKeyCommand::last;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return PanelKeyCommand::press;
    case Qt::Key_Menu:
        return PanelKeyCommand::openMenu;
    case Qt::Key_F10:
        return shift ? PanelKeyCommand::openMenu : PanelKeyCommand::none;
    case Qt::Key_Escape:
        return PanelKeyCommand::giveBack;
    default:
        return PanelKeyCommand::none;
    }
}

bool PanelFocus::setItems(std::vector<PanelItem> items) {
    const std::optional<PanelItem> before = current();
    items_ = std::move(items);
    const auto same = before ? std::find(items_.begin(), items_.end(), *before) : items_.end();
    if (same != items_.end()) {
        index_ = static_cast<std::size_t>(same - items_.begin());
    } else {
        // Gone: the item below moved up into its place (or, at the end, the one above).
        index_ = items_.empty() ? 0 : std::min(index_, items_.size() - 1);
    }
    return current() != before;
}

bool PanelFocus::move(PanelKeyCommand command) {
    if (items_.empty()) {
        return false;
    }
    const std::size_t before = index_;
    switch (command) {
    case PanelKeyCommand::next:
        index_ = std::min(index_ + 1, items_.size() - 1);
        break;
    case PanelKeyCommand::previous:
        index_ = index_ > 0 ? index_ - 1 : 0;
        break;
    case PanelKeyCommand::first:
        index_ = 0;
        break;
    case PanelKeyCommand::last:
        index_ = items_.size() - 1;
        break;
    default:
        break;
    }
    return index_ != before;
}

bool PanelFocus::moveTo(const PanelItem& item) {
    const auto found = std::find(items_.begin(), items_.end(), item);
    if (found == items_.end()) {
        return false;
    }
    const std::size_t before = index_;
    index_ = static_cast<std::size_t>(found - items_.begin());
    return index_ != before;
}

std::optional<PanelItem> PanelFocus::current() const {
    if (index_ >= items_.size()) {
        return std::nullopt;
    }
    return items_[index_];
}

} // namespace trovimo

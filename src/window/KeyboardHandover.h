#pragma once

#include <QWidget>

#include <cstdint>
#include <optional>

namespace trovimo {

// The keyboard for a panel the user called for from the keyboard (a second start, bound to a
// shortcut), and back to where it was on Escape. X11 only; elsewhere the window system decides.
class KeyboardHandover {
public:
    // Notes the window that has the keyboard now, unless it is one of ours.
    void rememberActiveWindow();
    // Brings `window` the keyboard focus, asked for as on the user's behalf: window managers
    // refuse an application in the background that asks for itself.
    void takeFocus(QWidget& window);
    // Gives the keyboard to the window noted last, or, when that one is gone, to the topmost
    // other window on this desktop that is not minimised.
    void giveBack();
    // The panel lost the keyboard: the window noted is no longer the one that had it before.
    void forget() noexcept { previous_.reset(); }

private:
    std::optional<std::uint32_t> previous_;
};

} // namespace trovimo

#include "window/KeyboardHandover.h"

#include "window/XcbWindowSystem.h"

#include <QApplication>

#include <algorithm>

namespace trovimo {
namespace {

bool isOurs(xcb_window_t window) {
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [window](const QWidget* widget) {
        return widget->internalWinId() == window;
    });
}

// A window the user could have been typing in: on this desktop (or all), not minimised.
bool isCandidate(XcbWindowSystem& x, xcb_window_t window, std::optional<std::uint32_t> desktop) {
    const std::vector<xcb_atom_t> states = x.stateOf(window);
    if (std::find(states.begin(), states.end(), x.atom(XcbWindowSystem::Atom::netWmStateHidden)) !=
        states.end()) {
        return false;
    }
    const std::optional<std::uint32_t> on = x.desktopOf(window);
    return !desktop || !on || *on == *desktop || *on == XcbWindowSystem::allDesktops;
}

} // namespace

void KeyboardHandover::rememberActiveWindow() {
    XcbWindowSystem* x = XcbWindowSystem::instance();
    if (x == nullptr) {
        return;
    }
    if (const std::optional<xcb_window_t> active = x->activeWindow(); active && !isOurs(*active)) {
        previous_ = *active;
    }
}

void KeyboardHandover::takeFocus(QWidget& window) {
    window.activateWindow();
    window.setFocus(Qt::ActiveWindowFocusReason);
    if (XcbWindowSystem* x = XcbWindowSystem::instance(); x != nullptr && window.isVisible()) {
        x->requestActivation(static_cast<xcb_window_t>(window.winId()));
        x->flush();
    }
}

void KeyboardHandover::giveBack() {
    XcbWindowSystem* x = XcbWindowSystem::instance();
    if (x == nullptr) {
        return;
    }
    const std::vector<xcb_window_t> stacking = x->clientStacking();
    std::optional<xcb_window_t> target;
    if (previous_ && std::find(stacking.begin(), stacking.end(), *previous_) != stacking.end()) {
        target = previous_;
    } else {
        const std::optional<std::uint32_t> desktop = x->currentDesktop();
        for (auto window = stacking.rbegin(); window != stacking.rend(); ++window) {
            if (!isOurs(*window) && isCandidate(*x, *window, desktop)) {
                target = *window;
                break;
            }
        }
    }
    if (target) {
        x->requestActivation(*target);
        x->flush();
    }
}

} // namespace trovimo

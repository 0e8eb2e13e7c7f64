#pragma once

#include <xcb/xcb.h>

#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace trovimo {

// The X11 side of the window behaviour: EWMH hints and window queries on Qt's own xcb
// connection. Exists only while the application runs on the xcb platform.
class XcbWindowSystem {
public:
    // _NET_WM_DESKTOP value meaning "on every workspace".
    static constexpr std::uint32_t allDesktops = 0xFFFFFFFFu;

    enum class Atom : std::size_t {
        wmState,
        netWmState,
        netWmStateAbove,
        netWmStateBelow,
        netWmStateSticky,
        netWmStateHidden,
        netWmStateSkipTaskbar,
        netWmStateSkipPager,
        netWmDesktop,
        netCurrentDesktop,
        netClientListStacking,
        netActiveWindow,
        netFrameExtents,
        compositorSelection,
        netSupported,
        netWorkarea,
        count
    };

    // Null unless the application object runs on the xcb platform.
    [[nodiscard]] static XcbWindowSystem* instance();

    [[nodiscard]] xcb_connection_t* connection() const noexcept { return connection_; }
    [[nodiscard]] xcb_window_t root() const noexcept { return root_; }
    [[nodiscard]] std::uint8_t rootDepth() const noexcept { return rootDepth_; }
    [[nodiscard]] xcb_atom_t atom(Atom which) const noexcept {
        return atoms_[static_cast<std::size_t>(which)];
    }

    // Properties of a window that is not mapped: the window manager reads them when it
    // takes the window over.
    void setDesktopProperty(xcb_window_t window, std::uint32_t desktop);
    void setStateProperty(xcb_window_t window, const std::vector<xcb_atom_t>& states);

    // Requests to the window manager for a mapped window (EWMH client messages to the root).
    void requestState(xcb_window_t window, bool add, xcb_atom_t first, xcb_atom_t second = 0);
    void requestDesktop(xcb_window_t window, std::uint32_t desktop);

    // Asks the window manager to give `window` the keyboard focus, as a pager would on the
    // user's request (window managers refuse applications that ask for themselves).
    void requestActivation(xcb_window_t window);

    [[nodiscard]] std::vector<xcb_atom_t> stateOf(xcb_window_t window);
    [[nodiscard]] std::optional<std::uint32_t> desktopOf(xcb_window_t window);
    // _NET_ACTIVE_WINDOW; none when no window has the focus or no window manager says.
    [[nodiscard]] std::optional<xcb_window_t> activeWindow();
    // _NET_CURRENT_DESKTOP
    [[nodiscard]] std::optional<std::uint32_t> currentDesktop();
    // The window manager's clients, bottom to top.
    [[nodiscard]] std::vector<xcb_window_t> clientStacking();

    // Where the server shows the window, in root coordinates; none when it is gone.
    [[nodiscard]] std::optional<std::pair<int, int>> rootPositionOf(xcb_window_t window);

    // Whether the running window manager lists the hint in _NET_SUPPORTED.
    [[nodiscard]] bool supports(xcb_atom_t hint);
    // Whether a window manager runs that publishes no work area (_NET_WORKAREA is not in
    // its _NET_SUPPORTED): the small X11 window managers inside Wayland compositors such as
    // sway and weston, which place X11 windows themselves and ignore where a client asks
    // to be. False while no window manager has published its list.
    [[nodiscard]] bool windowManagerPlacesWindows();

    // Adds bits to the window's event mask, keeping what Qt selected. True when it had to.
    bool addEventMask(xcb_window_t window, std::uint32_t mask);

    void flush();

    XcbWindowSystem(const XcbWindowSystem&) = delete;
    XcbWindowSystem& operator=(const XcbWindowSystem&) = delete;

private:
    XcbWindowSystem(xcb_connection_t* connection, int screenNumber);

    xcb_connection_t* connection_;
    xcb_window_t root_ = 0;
    std::uint8_t rootDepth_ = 0;
    std::array<xcb_atom_t, static_cast<std::size_t>(Atom::count)> atoms_{};
    std::vector<xcb_atom_t> supported_;
};

} // namespace trovimo

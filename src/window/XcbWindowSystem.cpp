#include "window/XcbWindowSystem.h"

#include <QGuiApplication>
#include <QString>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace trovimo {
namespace {

struct FreeDeleter {
    void operator()(void* pointer) const noexcept { std::free(pointer); }
};
template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, FreeDeleter>;

// The screen part of DISPLAY (":0.1" -> 1); the compositor's selection is per screen.
int screenNumberFromEnvironment() {
    int screen = 0;
    char* host = nullptr;
    int display = 0;
    if (xcb_parse_display(nullptr, &host, &display, &screen) == 0) {
        screen = 0;
    }
    std::free(host);
    return screen;
}

constexpr std::uint32_t clientMessageEventMask =
    XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
// EWMH source indications: a normal application, and a pager acting for the user.
constexpr std::uint32_t sourceApplication = 1;
constexpr std::uint32_t sourcePager = 2;
// Far more windows than any desktop holds.
constexpr std::uint32_t clientLimit = 4096;

// The 32-bit values of a property of `type` on `window`.
std::vector<std::uint32_t> values32(xcb_connection_t* connection, xcb_window_t window,
                                    xcb_atom_t property, xcb_atom_t type) {
    const auto cookie = xcb_get_property(connection, 0, window, property, type, 0, clientLimit);
    ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection, cookie, nullptr));
    if (!reply || reply->format != 32 || reply->type != type) {
        return {};
    }
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    return {values, values + std::max(count, 0)};
}

} // namespace

XcbWindowSystem* XcbWindowSystem::instance() {
    static std::unique_ptr<XcbWindowSystem> system;
    static bool looked = false;
    if (!looked) {
        auto* application =
            qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        if (!application) {
            return nullptr; // maybe not made yet: ask again next time
        }
        looked = true;
        if (xcb_connection_t* connection = application->connection()) {
            system.reset(new XcbWindowSystem(connection, screenNumberFromEnvironment()));
        }
    }
    return system.get();
}

XcbWindowSystem::XcbWindowSystem(xcb_connection_t* connection, int screenNumber)
    : connection_(connection) {
    auto roots = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int index = 0; roots.rem > 0; ++index, xcb_screen_next(&roots)) {
        if (index == screenNumber || root_ == 0) {
            root_ = roots.data->root;
            rootDepth_ = roots.data->root_depth;
        }
    }
    const std::string compositor = "_NET_WM_CM_S" + std::to_string(screenNumber);
    const std::array<const char*, static_cast<std::size_t>(Atom::count)> names{
        "WM_STATE",
        "_NET_WM_STATE",
        "_NET_WM_STATE_ABOVE",
        "_NET_WM_STATE_BELOW",
        "_NET_WM_STATE_STICKY",
        "_NET_WM_STATE_HIDDEN",
        "_NET_WM_STATE_SKIP_TASKBAR",
        "_NET_WM_STATE_SKIP_PAGER",
        "_NET_WM_DESKTOP",
        "_NET_CURRENT_DESKTOP",
        "_NET_CLIENT_LIST_STACKING",
        "_NET_ACTIVE_WINDOW",
        "_NET_FRAME_EXTENTS",
        compositor.c_str(),
        "_NET_SUPPORTED",
        "_NET_WORKAREA",
    };
    std::array<xcb_intern_atom_cookie_t, names.size()> cookies{};
    for (std::size_t i = 0; i < names.size(); ++i) {
        cookies[i] = xcb_intern_atom(connection_, 0,
                                     static_cast<std::uint16_t>(std::strlen(names[i])), names[i]);
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        ReplyPtr<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(connection_, cookies[i], nullptr));
        atoms_[i] = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }
}

void XcbWindowSystem::setDesktopProperty(xcb_window_t window, std::uint32_t desktop) {
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, atom(Atom::netWmDesktop),
                        XCB_ATOM_CARDINAL, 32, 1, &desktop);
}

void XcbWindowSystem::setStateProperty(xcb_window_t window, const std::vector<xcb_atom_t>& states) {
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, atom(Atom::netWmState),
                        XCB_ATOM_ATOM, 32, static_cast<std::uint32_t>(states.size()),
                        states.data());
}

void XcbWindowSystem::requestState(xcb_window_t window, bool add, xcb_atom_t first,
                                   xcb_atom_t second) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom(Atom::netWmState);
    event.data.data32[0] = add ? 1u : 0u; // _NET_WM_STATE_ADD / _REMOVE
    event.data.data32[1] = first;
    event.data.data32[2] = second;
    event.data.data32[3] = sourceApplication;
    xcb_send_event(connection_, 0, root_, clientMessageEventMask,
                   reinterpret_cast<const char*>(&event));
}

void XcbWindowSystem::requestDesktop(xcb_window_t window, std::uint32_t desktop) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom(Atom::netWmDesktop);
    event.data.data32[0] = desktop;
    event.data.data32[1] = sourceApplication;
    xcb_send_event(connection_, 0, root_, clientMessageEventMask,
                   reinterpret_cast<const char*>(&event));
}

void XcbWindowSystem::requestActivation(xcb_window_t window) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom(Atom::netActiveWindow);
    event.data.data32[0] = sourcePager;
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection_, 0, root_, clientMessageEventMask,
                   reinterpret_cast<const char*>(&event));
}

std::optional<xcb_window_t> XcbWindowSystem::activeWindow() {
    const std::vector<std::uint32_t> active =
        values32(connection_, root_, atom(Atom::netActiveWindow), XCB_ATOM_WINDOW);
    if (active.empty() || active.front() == XCB_WINDOW_NONE) {
        return std::nullopt;
    }
    return active.front();
}

std::optional<std::uint32_t> XcbWindowSystem::currentDesktop() {
    const std::vector<std::uint32_t> desktop =
        values32(connection_, root_, atom(Atom::netCurrentDesktop), XCB_ATOM_CARDINAL);
    return desktop.empty() ? std::nullopt : std::optional<std::uint32_t>(desktop.front());
}

std::vector<xcb_window_t> XcbWindowSystem::clientStacking() {
    return values32(connection_, root_, atom(Atom::netClientListStacking), XCB_ATOM_WINDOW);
}

std::vector<xcb_atom_t> XcbWindowSystem::stateOf(xcb_window_t window) {
    const auto cookie =
        xcb_get_property(connection_, 0, window, atom(Atom::netWmState), XCB_ATOM_ATOM, 0, 64);
    ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection_, cookie, nullptr));
    if (!reply || reply->format != 32 || reply->type != XCB_ATOM_ATOM) {
        return {};
    }
    const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    return {values, values + std::max(count, 0)};
}

std::optional<std::uint32_t> XcbWindowSystem::desktopOf(xcb_window_t window) {
    const auto cookie =
        xcb_get_property(connection_, 0, window, atom(Atom::netWmDesktop), XCB_ATOM_CARDINAL, 0, 1);
    ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection_, cookie, nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4) {
        return std::nullopt;
    }
    return *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
}

std::optional<std::pair<int, int>> XcbWindowSystem::rootPositionOf(xcb_window_t window) {
    const auto cookie = xcb_translate_coordinates(connection_, window, root_, 0, 0);
    xcb_generic_error_t* error = nullptr;
    ReplyPtr<xcb_translate_coordinates_reply_t> reply(
        xcb_translate_coordinates_reply(connection_, cookie, &error));
    std::free(error);
    if (!reply) {
        return std::nullopt;
    }
    return std::pair<int, int>(reply->dst_x, reply->dst_y);
}

bool XcbWindowSystem::supports(xcb_atom_t hint) {
    // Asked until a window manager has published its list, then kept.
    if (supported_.empty()) {
        const auto cookie = xcb_get_property(connection_, 0, root_, atom(Atom::netSupported),
                                             XCB_ATOM_ATOM, 0, 1024);
        ReplyPtr<xcb_get_property_reply_t> reply(
            xcb_get_property_reply(connection_, cookie, nullptr));
        if (reply && reply->format == 32) {
            const auto* values =
                static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
            const int count = xcb_get_property_value_length(reply.get()) / 4;
            supported_.assign(values, values + std::max(count, 0));
        }
    }
    return std::find(supported_.begin(), supported_.end(), hint) != supported_.end();
}

bool XcbWindowSystem::windowManagerPlacesWindows() {
    return !supports(atom(Atom::netWorkarea)) && !supported_.empty();
}

bool XcbWindowSystem::addEventMask(xcb_window_t window, std::uint32_t mask) {
    const auto cookie = xcb_get_window_attributes(connection_, window);
    ReplyPtr<xcb_get_window_attributes_reply_t> reply(
        xcb_get_window_attributes_reply(connection_, cookie, nullptr));
    if (!reply || (reply->your_event_mask & mask) == mask) {
        return false;
    }
    const std::uint32_t wanted = reply->your_event_mask | mask;
    xcb_change_window_attributes(connection_, window, XCB_CW_EVENT_MASK, &wanted);
    return true;
}

void XcbWindowSystem::flush() {
    xcb_flush(connection_);
}

} // namespace trovimo

#include "window/MainWindowVisibility.h"

#include "window/XcbWindowSystem.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWindow>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <optional>
#include <vector>

namespace trovimo {
namespace {

struct FreeDeleter {
    void operator()(void* pointer) const noexcept { std::free(pointer); }
};
template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, FreeDeleter>;

// Fetches a reply, taking an error (a window destroyed meanwhile) as no reply rather than
// letting it reach Qt's error log.
template <typename Reply, typename Cookie>
ReplyPtr<Reply> take(Reply* (*fetch)(xcb_connection_t*, Cookie, xcb_generic_error_t**),
                     xcb_connection_t* connection, Cookie cookie) {
    xcb_generic_error_t* error = nullptr;
    ReplyPtr<Reply> reply(fetch(connection, cookie, &error));
    std::free(error);
    return reply;
}

using PropertyReply = ReplyPtr<xcb_get_property_reply_t>;

std::vector<std::uint32_t> values32(const PropertyReply& reply) {
    if (!reply || reply->format != 32) {
        return {};
    }
    const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    return {data, data + std::max(count, 0)};
}

std::optional<std::uint32_t> first32(const PropertyReply& reply) {
    const auto values = values32(reply);
    return values.empty() ? std::nullopt : std::optional<std::uint32_t>(values.front());
}

bool contains(const std::vector<std::uint32_t>& values, std::uint32_t value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

xcb_get_property_cookie_t askProperty(xcb_connection_t* connection, xcb_window_t window,
                                      xcb_atom_t property, std::uint32_t length) {
    return xcb_get_property(connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, length);
}

// ICCCM WM_STATE values.
constexpr std::uint32_t iconicState = 3;
constexpr std::uint32_t stackingLimit = 4096;

// The frames of our window and of those stacked above it (`stacking` runs bottom to top),
// in one more round trip.
void gatherAbove(X11VisibilityFacts& facts, xcb_window_t window, XcbWindowSystem& x,
                 const std::vector<std::uint32_t>& stacking) {
    using Atom = XcbWindowSystem::Atom;
    xcb_connection_t* connection = x.connection();
    struct Pending {
        xcb_get_window_attributes_cookie_t attributes;
        xcb_translate_coordinates_cookie_t origin;
        xcb_get_geometry_cookie_t geometry;
        xcb_get_property_cookie_t state;
        xcb_get_property_cookie_t desktop;
        xcb_get_property_cookie_t extents;
    };
    const auto ours = std::find(stacking.begin(), stacking.end(), window);
    std::vector<Pending> pending;
    pending.reserve(static_cast<std::size_t>(std::distance(ours, stacking.end())));
    for (auto candidate = ours; candidate != stacking.end(); ++candidate) {
        pending.push_back({
            xcb_get_window_attributes(connection, *candidate),
            xcb_translate_coordinates(connection, *candidate, x.root(), 0, 0),
            xcb_get_geometry(connection, *candidate),
            askProperty(connection, *candidate, x.atom(Atom::netWmState), 64),
            askProperty(connection, *candidate, x.atom(Atom::netWmDesktop), 1),
            askProperty(connection, *candidate, x.atom(Atom::netFrameExtents), 4),
        });
    }
    for (std::size_t i = 0; i < pending.size(); ++i) {
        const auto attributes =
            take(xcb_get_window_attributes_reply, connection, pending[i].attributes);
        const auto origin = take(xcb_translate_coordinates_reply, connection, pending[i].origin);
        const auto geometry = take(xcb_get_geometry_reply, connection, pending[i].geometry);
        const auto state = values32(take(xcb_get_property_reply, connection, pending[i].state));
        const auto desktop = first32(take(xcb_get_property_reply, connection, pending[i].desktop));
        const auto extents = values32(take(xcb_get_property_reply, connection, pending[i].extents));
        if (!attributes || !origin || !geometry) {
            continue; // gone meanwhile
        }
        const QRect frame(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
        if (i == 0) {
            facts.frame = frame; // frameless: what is drawn is the client window itself
            continue;
        }
        X11VisibilityFacts::Above above{frame, attributes->map_state == XCB_MAP_STATE_VIEWABLE,
                                        contains(state, x.atom(Atom::netWmStateHidden)), desktop,
                                        std::nullopt};
        if (extents.size() == 4) { // left, right, top, bottom
            above.extents = QMargins(static_cast<int>(extents[0]), static_cast<int>(extents[2]),
                                     static_cast<int>(extents[1]), static_cast<int>(extents[3]));
        }
        facts.above.push_back(above);
    }
}

} // namespace

MainWindowVisibility::MainWindowVisibility(QObject* parent) : QObject(parent) {
    QCoreApplication::instance()->installNativeEventFilter(this);
}

MainWindowVisibility::~MainWindowVisibility() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

std::function<bool()> MainWindowVisibility::query() {
    return [self = QPointer<MainWindowVisibility>(this)] {
        return self ? self->isMainWindowVisible() : true;
    };
}

void MainWindowVisibility::setWindow(QWidget* window) {
    mainWindow_ = window;
}

bool MainWindowVisibility::isMainWindowVisible() {
    QWidget* window = mainWindow_ ? mainWindow_->window() : nullptr;
    if (window == nullptr) {
        return true;
    }
    if (!window->isVisible() || window->isMinimized()) {
        return false;
    }
    XcbWindowSystem* x = XcbWindowSystem::instance();
    if (x == nullptr) {
        // Elsewhere all there is to know is whether the window is exposed.
        const QWindow* handle = window->windowHandle();
        return handle == nullptr || handle->isExposed();
    }
    return isVisibleOnX11(*window, *x);
}

bool MainWindowVisibility::isVisibleOnX11(QWidget& window, XcbWindowSystem& x) {
    const auto id = static_cast<xcb_window_t>(window.winId());
    if (id != trackedWindow_) {
        trackedWindow_ = id;
        fullyObscured_ = false;
        answerHolds_ = false;
    }
    if (answerHolds_ && cachedAnswers_ < maximumCachedAnswers) {
        ++cachedAnswers_;
        return true;
    }
    cachedAnswers_ = 0;
    const VisibilityAnswer answer = decideVisibility(gatherFacts(id, x), source_);
    answerHolds_ = answer.holds;
    return answer.visible;
}

X11VisibilityFacts MainWindowVisibility::gatherFacts(std::uint32_t window, XcbWindowSystem& x) {
    using Atom = XcbWindowSystem::Atom;
    xcb_connection_t* connection = x.connection();
    const auto id = static_cast<xcb_window_t>(window);

    // Everything asked at once: one round trip per tick.
    const auto attributesCookie = xcb_get_window_attributes(connection, id);
    const auto wmStateCookie = askProperty(connection, id, x.atom(Atom::wmState), 2);
    const auto netStateCookie = askProperty(connection, id, x.atom(Atom::netWmState), 64);
    const auto desktopCookie = askProperty(connection, id, x.atom(Atom::netWmDesktop), 1);
    const auto currentCookie =
        askProperty(connection, x.root(), x.atom(Atom::netCurrentDesktop), 1);
    const auto compositorCookie =
        xcb_get_selection_owner(connection, x.atom(Atom::compositorSelection));
    const auto geometryCookie = xcb_get_geometry(connection, id);
    // Needed only when the stacking order decides, but asked here it costs no round trip
    // of its own.
    const auto stackingCookie =
        askProperty(connection, x.root(), x.atom(Atom::netClientListStacking), stackingLimit);
    const auto rootCookie = xcb_get_window_attributes(connection, x.root());

    const auto attributes = take(xcb_get_window_attributes_reply, connection, attributesCookie);
    const auto wmState = first32(take(xcb_get_property_reply, connection, wmStateCookie));
    const auto netState = values32(take(xcb_get_property_reply, connection, netStateCookie));
    X11VisibilityFacts facts;
    facts.desktop = first32(take(xcb_get_property_reply, connection, desktopCookie));
    facts.currentDesktop = first32(take(xcb_get_property_reply, connection, currentCookie));
    const auto compositor = take(xcb_get_selection_owner_reply, connection, compositorCookie);
    const auto geometry = take(xcb_get_geometry_reply, connection, geometryCookie);
    const auto stacking = values32(take(xcb_get_property_reply, connection, stackingCookie));
    const auto root = take(xcb_get_window_attributes_reply, connection, rootCookie);

    // Root property changes (stacking list, workspace) end a held answer; ask for them once
    // (our event mask on the root is ours alone, other clients keep theirs).
    const bool rootWatched = root && (root->your_event_mask & XCB_EVENT_MASK_PROPERTY_CHANGE) != 0;
    if (root && !rootWatched) {
        const std::uint32_t mask = root->your_event_mask | XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(connection, x.root(), XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection);
    }
    facts.viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    // Qt selects no VisibilityChange and drops whatever it did not select itself when its
    // window flags change: select it again whenever it is missing. What happened meanwhile
    // was not reported, so the old answer no longer holds.
    if (facts.viewable && (attributes->your_event_mask & XCB_EVENT_MASK_VISIBILITY_CHANGE) == 0) {
        const std::uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_VISIBILITY_CHANGE;
        xcb_change_window_attributes(connection, id, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection);
        fullyObscured_ = false;
    }
    facts.fullyObscured = fullyObscured_;
    facts.iconic = wmState == iconicState || contains(netState, x.atom(Atom::netWmStateHidden));
    facts.compositing = compositor && compositor->owner != XCB_WINDOW_NONE;
    facts.redirected = !geometry || geometry->depth != x.rootDepth();
    if (!stacking.empty() && stacking.back() == id) {
        facts.stacking = X11VisibilityFacts::Stacking::onTop;
    } else if (contains(stacking, id)) {
        facts.stacking = X11VisibilityFacts::Stacking::under;
    }
    facts.watched = rootWatched && attributes &&
                    (attributes->your_event_mask & XCB_EVENT_MASK_PROPERTY_CHANGE) != 0 &&
                    (attributes->your_event_mask & XCB_EVENT_MASK_STRUCTURE_NOTIFY) != 0;
    if (stackingDecides(facts, source_)) {
        gatherAbove(facts, id, x, stacking);
    }
    return facts;
}

bool MainWindowVisibility::nativeEventFilter(const QByteArray& eventType, void* message,
                                             qintptr* result) {
    Q_UNUSED(result);
    if (trackedWindow_ == 0 || eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    switch (event->response_type & 0x7f) {
    case XCB_VISIBILITY_NOTIFY: {
        const auto* visibility = reinterpret_cast<const xcb_visibility_notify_event_t*>(event);
        if (visibility->window == trackedWindow_) {
            fullyObscured_ = visibility->state == XCB_VISIBILITY_FULLY_OBSCURED;
            answerHolds_ = false;
        }
        break;
    }
    // Any root property (the stacking list, the current workspace) or a change of our own
    // window's properties (states, workspace), mapping or geometry.
    case XCB_PROPERTY_NOTIFY:
    case XCB_MAP_NOTIFY:
    case XCB_UNMAP_NOTIFY:
    case XCB_CONFIGURE_NOTIFY:
    case XCB_REPARENT_NOTIFY:
    case XCB_DESTROY_NOTIFY:
        answerHolds_ = false;
        break;
    default:
        break;
    }
    return false; // Qt still sees every event
}

} // namespace trovimo

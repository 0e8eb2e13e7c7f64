#include "window/WindowConfigurator.h"

#include "core/SystemLog.h"
#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"
#include "window/XcbWindowSystem.h"

#include <QEvent>

#include <algorithm>

namespace trovimo {
namespace {

// Qt's stay-on-top and stay-on-bottom hints are left out on purpose: changing either
// re-creates the native window. The level is kept with _NET_WM_STATE requests instead.
constexpr Qt::WindowFlags panelFlags =
    Qt::Window | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint;

// A desktop panel, not an application window: no taskbar button, no pager or window
// switcher entry.
constexpr XcbWindowSystem::Atom skipStates[] = {XcbWindowSystem::Atom::netWmStateSkipTaskbar,
                                                XcbWindowSystem::Atom::netWmStateSkipPager};

void replaceLevel(std::vector<xcb_atom_t>& states, const XcbWindowSystem& x, bool alwaysOnTop) {
    const xcb_atom_t above = x.atom(XcbWindowSystem::Atom::netWmStateAbove);
    const xcb_atom_t below = x.atom(XcbWindowSystem::Atom::netWmStateBelow);
    const xcb_atom_t sticky = x.atom(XcbWindowSystem::Atom::netWmStateSticky);
    std::erase_if(states, [&](xcb_atom_t state) {
        return state == above || state == below || state == sticky;
    });
    states.push_back(alwaysOnTop ? above : below);
    states.push_back(sticky);
    for (const auto skip : skipStates) {
        if (std::find(states.begin(), states.end(), x.atom(skip)) == states.end()) {
            states.push_back(x.atom(skip));
        }
    }
}

} // namespace

WindowConfigurator::WindowConfigurator(SettingsStore& settings,
                                       std::unique_ptr<WakeTimer> snapTimer, QObject* parent,
                                       const QString& autosaveName)
    : QObject(parent), settings_(settings), snap_(std::move(snapTimer)),
      autosave_(settings,
                autosaveName.isEmpty() ? QString::fromLatin1(frameAutosaveName) : autosaveName) {
    // A snap still animating would otherwise drag the window back out of the user's hand.
    connect(&dragger_, &WindowDragger::dragStarted, &snap_, &SnapController::stopAnimation);
    connect(&dragger_, &WindowDragger::dragStarted, this, [this] {
        if (!compositorPlaces()) {
            userMoved_ = true;
            autosave_.noteUserMove();
        }
    });
}

WindowConfigurator::~WindowConfigurator() {
    if (window_) {
        window_->removeEventFilter(this);
    }
    if (followed_) {
        followed_->removeEventFilter(this);
    }
}

void WindowConfigurator::apply(QWidget& panel, bool alwaysOnTop, bool snapToEdges) {
    // Takes effect for the next move even when the configuration below changes nothing.
    snap_.setEnabled(snapToEdges && !compositorPlaces_);
    QWidget* window = panel.window();
    configure(*window, alwaysOnTop);
    snap_.attach(*window);
}

void WindowConfigurator::follow(QWidget& panel) {
    if (followed_ != &panel) {
        if (followed_) {
            followed_->removeEventFilter(this);
        } else {
            connect(&settings_, &SettingsStore::changed, this, &WindowConfigurator::applyFollowed);
        }
        followed_ = &panel;
        applied_.reset();
        panel.installEventFilter(this);
    }
    applyFollowed();
}

void WindowConfigurator::applyFollowed() {
    if (!followed_) {
        return;
    }
    // Unset, the window floats on top.
    const QString onTop = QString::fromLatin1(keys::alwaysOnTop);
    const Followed wanted{settings_.contains(onTop) ? settings_.boolValue(onTop) : true,
                          settings_.boolValue(QString::fromLatin1(keys::snapToEdges)),
                          followed_->size()};
    if (wanted != applied_) {
        applied_ = wanted; // before applying: the resize it may set off is this same state
        apply(*followed_, wanted.alwaysOnTop, wanted.snapToEdges);
    }
}

void WindowConfigurator::setControlHitTest(WindowDragger::ControlHitTest hitTest) {
    dragger_.setControlHitTest(std::move(hitTest));
}

void WindowConfigurator::configure(QWidget& window, bool alwaysOnTop) {
    alwaysOnTop_ = alwaysOnTop;
    // Needs an alpha visual, chosen when the native window is made: set before the flags
    // below, whose change makes a new one.
    if (!window.testAttribute(Qt::WA_TranslucentBackground)) {
        window.setAttribute(Qt::WA_TranslucentBackground);
    }
    if (window.windowFlags() != panelFlags) {
        const bool shown = window.isVisible();
        window.setWindowFlags(panelFlags); // hides the window
        if (shown) {
            window.show();
        }
    }

    // The width the content states (its minimum, or else its size hint); the height follows
    // the content. Equal minimum and maximum sizes are what tells the window manager that the
    // window cannot be resized.
    const int width = std::max(window.minimumWidth(), window.sizeHint().width());
    const int contentHeight =
        window.hasHeightForWidth()
            ? window.heightForWidth(width)
            : std::max(window.sizeHint().height(), window.minimumSizeHint().height());
    const QSize size(width > 0 ? width : window.width(),
                     contentHeight > 0 ? contentHeight : window.height());
    if (window.minimumSize() != size || window.maximumSize() != size) {
        window.setFixedSize(size);
    }

    dragger_.attach(window);
    if (window_ != &window) {
        if (window_) {
            window_->removeEventFilter(this);
        }
        window_ = &window;
        window.installEventFilter(this);
    }
    autosave_.attach(window);
    applyWindowManagerHints(window, alwaysOnTop);
}

void WindowConfigurator::applyWindowManagerHints(QWidget& window, bool alwaysOnTop) {
    XcbWindowSystem* x = XcbWindowSystem::instance();
    if (x == nullptr || !window.isVisible()) {
        return; // an unmapped window gets its hints when it is shown (eventFilter)
    }
    // Mapped: the window manager owns the state now and takes changes only as requests.
    // Ask only for what is missing, so that repeating the call does not restack anything.
    const auto id = static_cast<xcb_window_t>(window.winId());
    const std::vector<xcb_atom_t> states = x->stateOf(id);
    const auto has = [&](XcbWindowSystem::Atom which) {
        return std::find(states.begin(), states.end(), x->atom(which)) != states.end();
    };
    const auto wanted = alwaysOnTop ? XcbWindowSystem::Atom::netWmStateAbove
                                    : XcbWindowSystem::Atom::netWmStateBelow;
    const auto other = alwaysOnTop ? XcbWindowSystem::Atom::netWmStateBelow
                                   : XcbWindowSystem::Atom::netWmStateAbove;
    if (has(other)) {
        x->requestState(id, false, x->atom(other));
    }
    // Some window managers (openbox) know no sticky state: for them all workspaces is
    // the desktop number alone, and asking again on every call would be noise.
    const xcb_atom_t sticky = x->atom(XcbWindowSystem::Atom::netWmStateSticky);
    const bool wantSticky = x->supports(sticky) && !has(XcbWindowSystem::Atom::netWmStateSticky);
    if (!has(wanted)) {
        x->requestState(id, true, x->atom(wanted), wantSticky ? sticky : 0);
    } else if (wantSticky) {
        x->requestState(id, true, sticky);
    }
    // A window manager that dropped them (a restore from its own menu) gets them back.
    if (!has(skipStates[0]) || !has(skipStates[1])) {
        x->requestState(id, true, x->atom(skipStates[0]), x->atom(skipStates[1]));
    }
    if (x->desktopOf(id) != XcbWindowSystem::allDesktops) {
        x->requestDesktop(id, XcbWindowSystem::allDesktops);
    }
    x->flush();
}

void WindowConfigurator::writeHintsBeforeMapping(QWidget& window) {
    XcbWindowSystem* x = XcbWindowSystem::instance();
    if (x == nullptr) {
        return;
    }
    // The window manager reads these when it takes the window over; Qt merges its own
    // states into the property rather than replacing it.
    const auto id = static_cast<xcb_window_t>(window.winId());
    std::vector<xcb_atom_t> states = x->stateOf(id);
    replaceLevel(states, *x, alwaysOnTop_);
    x->setStateProperty(id, states);
    x->setDesktopProperty(id, XcbWindowSystem::allDesktops);
    x->flush();
}

bool WindowConfigurator::compositorPlaces() {
    if (!compositorPlaces_) {
        XcbWindowSystem* x = XcbWindowSystem::instance();
        compositorPlaces_ = x != nullptr && x->windowManagerPlacesWindows();
        if (compositorPlaces_) {
            snap_.setEnabled(false);
            snap_.stopAnimation();
            systemLog(logWindow(),
                      QStringLiteral("WindowConfigurator: ウィンドウマネージャが作業領域を公開して"
                                     "いないため、配置はコンポジタに任せます（端へのスナップと"
                                     "位置の保存はしません）"));
        }
    }
    return compositorPlaces_;
}

void WindowConfigurator::onWindowMoved(QWidget& window) {
    // Moves of a hidden window, the snap's own steps and the echoes of the place the window
    // was shown at are the program's. Whatever else moves it is the window manager: a
    // keyboard move, a move from its menu or by another program, taken as the user's.
    if (userMoved_ || !placedAt_ || snap_.isAnimating() || window.pos() == *placedAt_) {
        return;
    }
    // The small window managers of some compositors place a window only after it maps: its
    // first move there is theirs, not the user's.
    if (compositorPlaces()) {
        return;
    }
    // While a window manager takes the window over, Qt can briefly take the position inside
    // the new frame (0, 0) for the window's: the server tells where it really stands.
    if (XcbWindowSystem* x = XcbWindowSystem::instance()) {
        const auto shown = x->rootPositionOf(static_cast<xcb_window_t>(window.winId()));
        if (!shown || QPoint(shown->first, shown->second) == *placedAt_) {
            return;
        }
    }
    userMoved_ = true;
    autosave_.noteUserMove();
}

bool WindowConfigurator::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_) {
        switch (event->type()) {
        case QEvent::Show:
            // Our own show (not the window manager's restore from a minimised state) comes
            // right before Qt maps the window; the snap has already settled it by then.
            if (!event->spontaneous()) {
                writeHintsBeforeMapping(*window_);
            }
            compositorPlaces();
            placedAt_ = window_->pos();
            break;
        case QEvent::Hide:
            placedAt_.reset();
            break;
        case QEvent::Move:
            onWindowMoved(*window_);
            break;
        default:
            break;
        }
    }
    if (watched == followed_ && event->type() == QEvent::Resize) {
        applyFollowed();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace trovimo

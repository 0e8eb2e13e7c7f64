#include "window/CompositorWatch.h"

#include "window/XcbWindowSystem.h"

#include <QCoreApplication>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace trovimo {
namespace {

struct FreeDeleter {
    void operator()(void* pointer) const noexcept { std::free(pointer); }
};

// The XFixes SelectionNotify event as it comes over the wire (XFixes protocol 1.0).
struct SelectionNotify {
    std::uint8_t responseType;
    std::uint8_t subtype;
    std::uint16_t sequence;
    std::uint32_t window;
    std::uint32_t owner;
    std::uint32_t selection;
};
constexpr std::uint8_t selectionNotifyOffset = 0;

} // namespace

CompositorWatch::CompositorWatch(QObject* parent) : QObject(parent) {
    XcbWindowSystem* x = XcbWindowSystem::instance();
    if (x == nullptr) {
        return;
    }
    xcb_connection_t* connection = x->connection();
    static constexpr char extension[] = "XFIXES";
    const auto cookie = xcb_query_extension(connection, sizeof extension - 1, extension);
    const std::unique_ptr<xcb_query_extension_reply_t, FreeDeleter> reply(
        xcb_query_extension_reply(connection, cookie, nullptr));
    compositing_ = askOwner();
    // Qt's own xcb platform asks XFixes for every change of owner of this selection (it
    // tracks compositing for its own use): those events arrive on the shared connection, and
    // nothing needs asking until one does.
    if (reply && reply->present != 0) {
        xfixesEvent_ = reply->first_event;
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
}

CompositorWatch::~CompositorWatch() {
    if (xfixesEvent_ != 0 && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

bool CompositorWatch::askOwner() const {
    XcbWindowSystem* x = XcbWindowSystem::instance();
    xcb_connection_t* connection = x->connection();
    const auto cookie =
        xcb_get_selection_owner(connection, x->atom(XcbWindowSystem::Atom::compositorSelection));
    const std::unique_ptr<xcb_get_selection_owner_reply_t, FreeDeleter> reply(
        xcb_get_selection_owner_reply(connection, cookie, nullptr));
    return reply && reply->owner != XCB_WINDOW_NONE;
}

bool CompositorWatch::nativeEventFilter(const QByteArray& eventType, void* message,
                                        qintptr* result) {
    Q_UNUSED(result);
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != xfixesEvent_ + selectionNotifyOffset) {
        return false;
    }
    SelectionNotify notify{};
    std::memcpy(&notify, event, sizeof notify);
    XcbWindowSystem* x = XcbWindowSystem::instance();
    if (x == nullptr || notify.selection != x->atom(XcbWindowSystem::Atom::compositorSelection)) {
        return false;
    }
    // Asked again rather than read from the event: a compositor that was replaced reports
    // its window's end after the new owner took over.
    const bool compositing = askOwner();
    if (compositing != compositing_) {
        compositing_ = compositing;
        emit compositingChanged(compositing);
    }
    return false; // Qt keeps its own bookkeeping
}

} // namespace trovimo

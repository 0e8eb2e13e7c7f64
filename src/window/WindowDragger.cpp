#include "window/WindowDragger.h"

#include <QMouseEvent>
#include <QWindow>

namespace trovimo {

WindowDragger::~WindowDragger() {
    if (window_) {
        window_->removeEventFilter(this);
    }
}

void WindowDragger::attach(QWidget& window) {
    if (window_ == &window) {
        return;
    }
    if (window_) {
        window_->removeEventFilter(this);
    }
    movingByHand_ = false;
    window_ = &window;
    window.installEventFilter(this);
}

bool WindowDragger::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_) {
        return QObject::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        // A press reaches the window's own filter either aimed at the window itself or
        // passed up by a child that did not want it (labels, plain areas): controls such
        // as buttons accept their presses and never get here.
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton) {
            break;
        }
        const QPoint position = mouse->position().toPoint();
        if (hitTest_ && hitTest_(position)) {
            break;
        }
        return startDrag(mouse->globalPosition());
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (movingByHand_ && (mouse->buttons() & Qt::LeftButton)) {
            window_->move(mouse->globalPosition().toPoint() - grabOffset_);
            return true;
        }
        break;
    }
    case QEvent::MouseButtonRelease:
        if (movingByHand_ && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            movingByHand_ = false;
            return true;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool WindowDragger::startDrag(QPointF globalPosition) {
    emit dragStarted();
    QWindow* handle = window_->windowHandle();
    if (handle != nullptr && handle->startSystemMove()) {
        return true;
    }
    // No window-manager support (or no X11): follow the pointer until release.
    movingByHand_ = true;
    grabOffset_ = globalPosition.toPoint() - window_->pos();
    return true;
}

} // namespace trovimo

#include "window/SnapController.h"

#include "core/BoottimeTimer.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>

#include <cstdlib>

namespace trovimo {
namespace {

// One axis: `start` and `length` of the window, `areaStart` and `areaEnd` of the work area
// (end exclusive). The near (first) edge wins when both are within the threshold.
int snapAxis(int start, int length, int areaStart, int areaEnd, bool nearEdgeIsStart) {
    const int end = start + length;
    const auto close = [](int a, int b) { return std::abs(a - b) < SnapController::snapThreshold; };
    const auto toStart = areaStart + SnapController::edgeMargin;
    const auto toEnd = areaEnd - length - SnapController::edgeMargin;
    if (nearEdgeIsStart) {
        if (close(start, areaStart)) {
            return toStart;
        }
        if (close(end, areaEnd)) {
            return toEnd;
        }
    } else {
        if (close(end, areaEnd)) {
            return toEnd;
        }
        if (close(start, areaStart)) {
            return toStart;
        }
    }
    return start;
}

} // namespace

SnapController::SnapController(std::unique_ptr<WakeTimer> timer, QObject* parent)
    : QObject(parent), timer_(timer ? std::move(timer) : std::make_unique<BoottimeTimer>()) {
    connect(timer_.get(), &WakeTimer::fired, this, [this] {
        pending_ = false;
        snapIfNeeded();
    });
    animation_.setPropertyName("pos");
    animation_.setDuration(200);
    animation_.setEasingCurve(QEasingCurve::OutCubic);
}

SnapController::~SnapController() {
    animation_.stop();
    if (window_) {
        window_->removeEventFilter(this);
    }
}

void SnapController::attach(QWidget& window) {
    if (window_ == &window) {
        return;
    }
    if (window_) {
        window_->removeEventFilter(this);
        animation_.stop();
    }
    window_ = &window;
    animation_.setTargetObject(&window);
    window.installEventFilter(this);
}

void SnapController::setAnimationDuration(int milliseconds) {
    animation_.setDuration(milliseconds);
}

bool SnapController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && event->type() == QEvent::Move) {
        onWindowMoved();
    } else if (watched == window_ && event->type() == QEvent::Show && !event->spontaneous()) {
        // Our own show (not a restore by the window manager) comes right before Qt maps.
        settleNow();
    }
    return QObject::eventFilter(watched, event);
}

void SnapController::onWindowMoved() {
    // While disabled a pending snap is neither cancelled nor restarted: it re-reads the
    // flag when it wakes.
    if (!enabled_) {
        return;
    }
    pending_ = true;
    timer_->arm(settleDelay); // re-arming replaces the earlier deadline
}

void SnapController::snapIfNeeded() {
    if (!enabled_ || !window_ || !window_->isVisible()) {
        return;
    }
    const QRect frame = window_->frameGeometry();
    const std::optional<QRect> area = workAreaFor(frame);
    if (!area) {
        return;
    }
    const std::optional<QPoint> origin = snappedOrigin(frame, *area);
    if (!origin) {
        return;
    }
    animation_.stop();
    animation_.setStartValue(window_->pos());
    animation_.setEndValue(*origin);
    animation_.start();
    emit snapped(*origin);
}

void SnapController::settleNow() {
    if (!enabled_ || !window_) {
        return;
    }
    const QRect frame = window_->frameGeometry();
    const std::optional<QRect> area = workAreaFor(frame);
    const std::optional<QPoint> origin = area ? snappedOrigin(frame, *area) : std::nullopt;
    if (origin) {
        animation_.stop();
        window_->move(*origin);
    }
}

std::optional<QPoint> SnapController::snappedOrigin(const QRect& frame, const QRect& workArea) {
    const int x =
        snapAxis(frame.x(), frame.width(), workArea.x(), workArea.x() + workArea.width(), true);
    // Qt's y grows downwards: the screen's bottom edge is the far end of the axis.
    const int y =
        snapAxis(frame.y(), frame.height(), workArea.y(), workArea.y() + workArea.height(), false);
    if (x == frame.x() && y == frame.y()) {
        return std::nullopt;
    }
    return QPoint(x, y);
}

std::optional<QRect> SnapController::workAreaFor(const QRect& frame) {
    const QScreen* best = nullptr;
    long long bestArea = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect overlap = screen->geometry().intersected(frame);
        const long long area = static_cast<long long>(overlap.width()) * overlap.height();
        if (area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    if (best == nullptr) {
        return std::nullopt;
    }
    return best->availableGeometry();
}

} // namespace trovimo

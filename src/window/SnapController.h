#pragma once

#include "core/WakeTimer.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QPropertyAnimation>
#include <QRect>
#include <QWidget>

#include <chrono>
#include <memory>
#include <optional>

namespace trovimo {

// Settles the panel a fixed distance inside an edge of its screen's work area when it is
// dropped near that edge: 0.3 s after the last move, animated, origin only.
class SnapController : public QObject {
    Q_OBJECT
public:
    // In device-independent pixels.
    static constexpr int snapThreshold = 24; // an edge snaps when strictly closer than this
    static constexpr int edgeMargin = 8;
    static constexpr std::chrono::milliseconds settleDelay{300};

    // `timer` defaults to a boot-time timer.
    explicit SnapController(std::unique_ptr<WakeTimer> timer = nullptr, QObject* parent = nullptr);
    ~SnapController() override;

    // Watches this window's moves; attaching to the window already watched does nothing.
    void attach(QWidget& window);
    [[nodiscard]] QWidget* window() const { return window_; }

    void setEnabled(bool enabled) noexcept { enabled_ = enabled; }
    [[nodiscard]] bool isEnabled() const noexcept { return enabled_; }
    [[nodiscard]] bool isSnapPending() const noexcept { return pending_; }

    void setAnimationDuration(int milliseconds);

    // Leaves the window where it is now, as when the user takes hold of it mid-snap.
    void stopAnimation() { animation_.stop(); }
    [[nodiscard]] bool isAnimating() const {
        return animation_.state() == QAbstractAnimation::Running;
    }

    // The snapping step: moves the window when one of its edges is near the work area's.
    void snapIfNeeded();
    // The same step at once and without animation. Done when the window is shown, before
    // it maps, so that it first appears where it stays instead of hopping a moment later.
    void settleNow();

    // Where a frame goes: each axis independently, left before right and, in Qt's
    // downward y, the bottom edge before the top edge. None when nothing changes.
    [[nodiscard]] static std::optional<QPoint> snappedOrigin(const QRect& frame,
                                                             const QRect& workArea);

    // The work area of the screen holding the largest part of the frame; none when the
    // frame lies on no screen.
    [[nodiscard]] static std::optional<QRect> workAreaFor(const QRect& frame);

signals:
    // After a snap started moving the window, with the target origin.
    void snapped(QPoint origin);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onWindowMoved();

    std::unique_ptr<WakeTimer> timer_;
    QPointer<QWidget> window_;
    QPropertyAnimation animation_;
    bool enabled_ = true;
    bool pending_ = false;
};

} // namespace trovimo

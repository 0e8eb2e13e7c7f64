#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace trovimo {

// Lets the user drag a frameless window by any part of its surface that is not a control.
// The window manager moves the window (_NET_WM_MOVERESIZE through Qt) where it can; where
// it cannot, the window follows the pointer itself.
class WindowDragger : public QObject {
    Q_OBJECT
public:
    // Answers whether a point (window coordinates) lies on a control drawn by the window
    // itself, such as a painted button; presses there are left to the window.
    using ControlHitTest = std::function<bool(QPoint)>;

    using QObject::QObject;
    ~WindowDragger() override;

    void attach(QWidget& window);
    void setControlHitTest(ControlHitTest hitTest) { hitTest_ = std::move(hitTest); }

    // True while the window follows the pointer without the window manager's help.
    [[nodiscard]] bool isMovingByHand() const noexcept { return movingByHand_; }

signals:
    // The user took hold of the window.
    void dragStarted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool startDrag(QPointF globalPosition);

    QPointer<QWidget> window_;
    ControlHitTest hitTest_;
    bool movingByHand_ = false;
    QPoint grabOffset_;
};

} // namespace trovimo

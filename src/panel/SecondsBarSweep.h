#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>

namespace trovimo {

// The clock's seconds bar moving linearly from where it stood to its new fraction over the
// second that follows, one frame per device pixel of travel. The view repaints the bar on
// each `frameDue` and asks `fraction` what to draw. A QVariantAnimation would step at Qt's
// animation rate, about 60 times a second, all the time values animate: tried, a second of
// the animated panel cost 1.6 times the instructions and woke the program 72 times instead
// of 13.
class SecondsBarSweep : public QObject {
    Q_OBJECT
public:
    explicit SecondsBarSweep(QObject* parent = nullptr);

    // Sweeps from `from` to `to` across a bar `devicePixels` wide, or, with `animate` off, at
    // second 0 (the full minute snaps back) or without a change, stops: the bar then jumps.
    void start(double from, double to, int second, double devicePixels, bool animate);
    void stop();

    [[nodiscard]] bool isRunning() const noexcept { return running_; }
    // The fraction to draw now for a bar whose value is `to`.
    [[nodiscard]] double fraction(double to) const;

signals:
    void frameDue();

private:
    QTimer timer_;
    double from_ = 0.0;
    std::chrono::steady_clock::time_point start_{};
    bool running_ = false;
};

} // namespace trovimo

#include "panel/SecondsBarSweep.h"

#include <algorithm>
#include <cmath>

namespace trovimo {
namespace {

// The seconds bar moves under 3 points per second. A frame every device pixel of travel
// moves its antialiased end by one pixel at a time; more frames repaint nearly the same
// pixels, each at the price of a wake-up.
constexpr int fastestFrameMs = 50;
constexpr int slowestFrameMs = 250;
constexpr double framesPerPixel = 1.0;
constexpr auto duration = std::chrono::seconds(1);

} // namespace

SecondsBarSweep::SecondsBarSweep(QObject* parent) : QObject(parent) {
    connect(&timer_, &QTimer::timeout, this, [this] {
        emit frameDue();
        if (std::chrono::steady_clock::now() - start_ >= duration) {
            stop();
        }
    });
}

void SecondsBarSweep::start(double from, double to, int second, double devicePixels, bool animate) {
    // Linear over the second that follows, except at the full minute, which snaps back.
    if (!animate || second < 1 || to == from) {
        stop();
        return;
    }
    from_ = from;
    start_ = std::chrono::steady_clock::now();
    running_ = true;
    const double pixels = std::abs(to - from) * devicePixels;
    const double frameMs = pixels > 0.0 ? 1000.0 / (pixels * framesPerPixel) : slowestFrameMs;
    timer_.start(
        static_cast<int>(std::clamp(frameMs, double(fastestFrameMs), double(slowestFrameMs))));
}

void SecondsBarSweep::stop() {
    running_ = false;
    timer_.stop();
}

double SecondsBarSweep::fraction(double to) const {
    if (!running_) {
        return to;
    }
    const double t = std::clamp(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(), 0.0, 1.0);
    return from_ + (to - from_) * t;
}

} // namespace trovimo

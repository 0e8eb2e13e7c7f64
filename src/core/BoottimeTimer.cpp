#include "core/BoottimeTimer.h"

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <sys/timerfd.h>
#include <unistd.h>

namespace trovimo {
namespace {

// Longer delays are cut to a day: a hand-edited interval of 1e300 s must not overflow.
constexpr std::chrono::nanoseconds maximumDelay = std::chrono::hours(24);

} // namespace

BoottimeTimer::BoottimeTimer(QObject* parent) : WakeTimer(parent) {
    fd_ = timerfd_create(CLOCK_BOOTTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd_ >= 0) {
        notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, &BoottimeTimer::onReadable);
    } else {
        fallback_.setSingleShot(true);
        fallback_.setTimerType(Qt::PreciseTimer);
        connect(&fallback_, &QTimer::timeout, this, &WakeTimer::fired);
    }
}

BoottimeTimer::~BoottimeTimer() {
    notifier_.reset();
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void BoottimeTimer::arm(std::chrono::nanoseconds delay) {
    delay = std::clamp(delay, std::chrono::nanoseconds(1), maximumDelay);
    if (fd_ < 0) {
        fallback_.start(std::chrono::duration_cast<std::chrono::milliseconds>(delay));
        return;
    }
    itimerspec spec{};
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(delay);
    spec.it_value.tv_sec = static_cast<time_t>(seconds.count());
    spec.it_value.tv_nsec = static_cast<long>((delay - seconds).count());
    timerfd_settime(fd_, 0, &spec, nullptr);
}

void BoottimeTimer::onReadable() {
    std::uint64_t expirations = 0;
    if (::read(fd_, &expirations, sizeof expirations) == sizeof expirations && expirations > 0) {
        emit fired();
    }
}

} // namespace trovimo

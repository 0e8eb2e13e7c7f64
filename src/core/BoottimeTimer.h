#pragma once

#include "core/WakeTimer.h"

#include <QSocketNotifier>
#include <QTimer>

#include <memory>

namespace trovimo {

// A wake-up on CLOCK_BOOTTIME through a timerfd watched by the Qt event loop. Unlike
// QTimer (CLOCK_MONOTONIC), the boot-time clock keeps counting while the machine is
// suspended, so a deadline that passed during suspend fires right after resume instead
// of a full period later. Falls back to a QTimer when the timerfd cannot be made.
class BoottimeTimer final : public WakeTimer {
    Q_OBJECT
public:
    explicit BoottimeTimer(QObject* parent = nullptr);
    ~BoottimeTimer() override;
    BoottimeTimer(const BoottimeTimer&) = delete;
    BoottimeTimer& operator=(const BoottimeTimer&) = delete;

    void arm(std::chrono::nanoseconds delay) override;

private:
    void onReadable();

    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer fallback_;
};

} // namespace trovimo

#pragma once

#include <chrono>
#include <ctime>

namespace trovimo {

// CLOCK_BOOTTIME as a std::chrono clock: the time every rate and interval is measured on.
// The wall clock steps with NTP, the user and resume, which would turn one byte delta into an
// absurd or a zero rate; steady_clock (CLOCK_MONOTONIC) stops while the machine is suspended,
// so a rate across a suspend would be divided by the awake time alone. Its own type keeps a
// wall-clock time point from being handed where a boot-time one is meant.
struct BoottimeClock {
    using duration = std::chrono::nanoseconds;
    using rep = duration::rep;
    using period = duration::period;
    using time_point = std::chrono::time_point<BoottimeClock>;
    static constexpr bool is_steady = true;

    [[nodiscard]] static time_point now() noexcept {
        timespec now{};
        ::clock_gettime(CLOCK_BOOTTIME, &now);
        return time_point(std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec));
    }
};

} // namespace trovimo

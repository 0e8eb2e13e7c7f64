#pragma once

#include "core/BoottimeClock.h"

#include <chrono>
#include <functional>
#include <optional>
#include <utility>

namespace trovimo {

// When a reader looks for its devices again: on its first read, then once every `spacing`.
// Between two searches a tick only reads the files found by the last one. Measured on
// CLOCK_BOOTTIME, which neither steps with the wall clock nor stops in a suspend, so the
// first tick after a resume searches (a dock and what hangs on it may have come or gone
// meanwhile).
class DiscoverySchedule {
public:
    // Time since boot; tests hand in their own.
    using Clock = std::function<std::chrono::nanoseconds()>;

    explicit DiscoverySchedule(std::chrono::nanoseconds spacing, Clock clock = {})
        : spacing_(spacing), clock_(clock ? std::move(clock) : Clock(&sinceBoot)) {}

    // True when a search is due; the search counts as made now.
    [[nodiscard]] bool due() {
        const auto now = clock_();
        if (last_ && now >= *last_ && now - *last_ < spacing_) {
            return false;
        }
        last_ = now;
        return true;
    }

    [[nodiscard]] static std::chrono::nanoseconds sinceBoot() noexcept {
        return BoottimeClock::now().time_since_epoch();
    }

private:
    std::chrono::nanoseconds spacing_;
    Clock clock_;
    std::optional<std::chrono::nanoseconds> last_;
};

} // namespace trovimo

#pragma once

#include <chrono>
#include <optional>

namespace trovimo {

// What the batteries are doing, as the kernel's power_supply class says it.
enum class BatteryState {
    charging,
    discharging,
    full,
    pluggedIn, // on mains power but not charging ("Not charging": a charge limit, a hot pack)
    unknown,
};

// The system's batteries taken together (a laptop with two packs reads as one).
struct BatteryStatus {
    // 0-100: charge of all packs over their full charge; absent when a pack reports a
    // charge no battery can hold (below zero).
    std::optional<double> percent;
    BatteryState state = BatteryState::unknown;
    // Until empty at the present draw; only while discharging and the draw is known.
    std::optional<std::chrono::seconds> timeLeft;
    // Watts flowing out of (or, charging, into) the packs; absent when the kernel reports none
    // or a flow no battery delivers.
    std::optional<double> powerWatts;

    friend bool operator==(const BatteryStatus&, const BatteryStatus&) = default;
};

} // namespace trovimo

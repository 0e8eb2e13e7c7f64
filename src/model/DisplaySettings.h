#pragma once

#include "model/Blocks.h"

namespace trovimo {

class SettingsStore;

// The shortest sampling period: the figures move no faster than this, and shorter periods
// only turn the panel into a busy loop.
inline constexpr double minimumUpdateInterval = 0.1;

// What the panel shows and how often the figures are sampled. The statistics store, the
// panel and the settings window all take these from here, so they share one set of defaults:
// a stored value wins, then a registered one, then the initialisers below (for the blocks,
// the block table's).
struct DisplaySettings {
    bool alwaysOnTop = true;
    bool snapToEdges = true;
    BlockSet shown = shownByDefault();
    // The blocks whose detail switch is on (the clock's year, the CPU's core bars).
    BlockSet detailed = shownByDefault(true);
    bool animateValues = false;
    // As the settings hold them: what the settings window shows and edits.
    double diskAlertThresholdAsSet = 0.9;
    double updateIntervalAsSet = 1.0;
    // What is used: the two above through effectiveDiskAlertThreshold and
    // effectiveUpdateInterval.
    double diskAlertThreshold = 0.9;
    double updateInterval = 1.0;

    [[nodiscard]] bool shows(Block block) const noexcept { return shown.contains(block); }
    [[nodiscard]] bool showClockYear() const noexcept { return detailed.contains(Block::clock); }
    [[nodiscard]] bool showCoreBars() const noexcept { return detailed.contains(Block::cpu); }

    [[nodiscard]] static DisplaySettings read(const SettingsStore& settings);
    friend bool operator==(const DisplaySettings&, const DisplaySettings&) = default;
};

// The sampling period in seconds: the stored interval when it is positive and finite (raised
// to minimumUpdateInterval), else one second.
[[nodiscard]] double effectiveUpdateInterval(double stored);

// The disk alert threshold as a fraction: a finite stored value clamped to 0..1, else the
// default.
[[nodiscard]] double effectiveDiskAlertThreshold(double stored);

} // namespace trovimo

#pragma once

#include <QVariantMap>

namespace trovimo::keys {

inline constexpr const char* diskAlertThreshold = "diskAlertThreshold";
inline constexpr const char* snapToEdges = "snapToEdges";
inline constexpr const char* showClock = "showClock";
inline constexpr const char* showClockYear = "showClockYear";
inline constexpr const char* animateValues = "animateValues";
inline constexpr const char* showCPU = "showCPU";
inline constexpr const char* showCoreBars = "showCoreBars";
inline constexpr const char* showGPU = "showGPU";
inline constexpr const char* showMemory = "showMemory";
inline constexpr const char* showNetwork = "showNetwork";
inline constexpr const char* showDisk = "showDisk";
inline constexpr const char* showSelf = "showSelf";
inline constexpr const char* updateInterval = "updateInterval";
// Not registered: its default comes from the panel (true, floating on top).
inline constexpr const char* alwaysOnTop = "alwaysOnTop";
// Not registered, set by no window: replaces the built-in version feed location.
inline constexpr const char* updateFeedURL = "updateFeedURL";

} // namespace trovimo::keys

namespace trovimo {

// The registered defaults: built once per process, constant afterwards.
[[nodiscard]] const QVariantMap& defaultSettings();

// The shortest sampling period: the figures move no faster than this, and shorter periods
// only turn the panel into a busy loop.
inline constexpr double minimumUpdateInterval = 0.1;

// The sampling period in seconds: the stored interval when it is positive and finite (raised
// to minimumUpdateInterval), else one second.
[[nodiscard]] double effectiveUpdateInterval(double stored);

// The disk alert threshold as a fraction: a finite stored value clamped to 0..1, else the
// registered default.
[[nodiscard]] double effectiveDiskAlertThreshold(double stored);

} // namespace trovimo

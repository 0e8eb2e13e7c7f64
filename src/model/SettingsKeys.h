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
inline constexpr const char* showSensors = "showSensors";
inline constexpr const char* showBattery = "showBattery";
inline constexpr const char* showDiskActivity = "showDiskActivity";
inline constexpr const char* showSelf = "showSelf";
inline constexpr const char* updateInterval = "updateInterval";
// Not registered: its default is DisplaySettings' (true, floating on top).
inline constexpr const char* alwaysOnTop = "alwaysOnTop";
// Not registered, set by no window: replaces the built-in version feed location.
inline constexpr const char* updateFeedURL = "updateFeedURL";
// A group: the other machines a panel can show, as size and 1/name, 1/url, 1/credentialFile...
inline constexpr const char* remoteMachines = "machines";

} // namespace trovimo::keys

namespace trovimo {

// The defaults start-up registers, DisplaySettings' own: built once per process.
[[nodiscard]] const QVariantMap& defaultSettings();

} // namespace trovimo

#pragma once

#include <QVariantMap>

// The settings that are not a block's switch; those are the block table's (model/Blocks.h).
namespace trovimo::keys {

inline constexpr const char* diskAlertThreshold = "diskAlertThreshold";
inline constexpr const char* snapToEdges = "snapToEdges";
inline constexpr const char* animateValues = "animateValues";
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

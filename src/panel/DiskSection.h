#pragma once

#include "model/DiskUsage.h"
#include "panel/PanelElements.h"
#include "panel/PanelInputs.h"
#include "panel/Theme.h"

#include <string>
#include <string_view>

namespace trovimo {

// The home volume: what is left, the breakdown with its legend and the alert past the threshold.
[[nodiscard]] SectionLayout layoutDiskSection(const PanelInputs& inputs, const Theme& theme,
                                              double width);
// What a screen reader hears of it (SpokenTexts.h).
[[nodiscard]] QString spokenDiskSection(const PanelInputs& inputs);

} // namespace trovimo

namespace trovimo::texts {

inline constexpr std::string_view systemLegend = "OS";
inline constexpr std::string_view dataLegend = "データ";
inline constexpr std::string_view purgeableLegend = "解放可";

// "残り 50.0 GB"
[[nodiscard]] std::string diskRemainingText(const DiskUsage& disk);
// "使用率がしきい値（90%）を超えています": the threshold as whole percent, halves away from zero.
[[nodiscard]] std::string diskAlertText(double alertThreshold);
// "412 GB / 994 GB 使用中"
[[nodiscard]] std::string diskUsageText(const DiskUsage& disk);

} // namespace trovimo::texts

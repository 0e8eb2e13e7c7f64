#pragma once

#include "panel/PanelInputs.h"
#include "panel/PanelLayout.h"

#include <QString>

#include <optional>

// What a screen reader says for each part of the panel. The panel draws arrows, dashes,
// colours and short units ("↓ 1.2 MB/s", "—", "App 71M"); a listener hears the same figures
// in Japanese words: the direction, that a value is missing, the unit, the warning a colour
// stands for. Plain functions of a block and the figures it shows, so the panel's
// accessibility and its tests share one source.
namespace trovimo::spoken {

// The name a block is read by: the label of the switch that shows it in the settings window
// ("温度とファン", "Trovimo 自身の負荷"), so a listener finds it under the same words there.
[[nodiscard]] QString blockName(const PanelBlock& block);

// Everything the block shows but its name, in reading order, in words: "45パーセント",
// "ダウンロード 毎秒1.2メガバイト、アップロード 毎秒48.0キロバイト", "データなし".
[[nodiscard]] QString blockValue(const PanelBlock& block, const PanelInputs& inputs);

// "45パーセント" (0.452, whole percents), "0.8パーセント" (0.0083, one decimal).
[[nodiscard]] QString percent(double fraction, int fractionDigits);

} // namespace trovimo::spoken

#pragma once

#include "panel/PanelInputs.h"
#include "panel/PanelLayout.h"

#include "panel/CapacityLevel.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <string_view>

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

// The words the sections' spoken texts are made of (each section's own are in its file).
// Where the panel shows a dash, or nothing yet: "データなし".
[[nodiscard]] const QString& noData();
[[nodiscard]] QString utf8(std::string_view text);
// The parts of one block's text, in reading order, between Japanese commas.
[[nodiscard]] QString joined(const QStringList& parts);
// "12.3メガバイト", "毎秒1.2メガバイト": the panel's figures with the unit in words.
[[nodiscard]] QString bytes(std::int64_t count);
[[nodiscard]] QString rate(double bytesPerSecond);
// What the orange and the red of a figure mean ("注意", "警告"); empty for neither.
[[nodiscard]] QString levelWord(CapacityLevel level);

} // namespace trovimo::spoken

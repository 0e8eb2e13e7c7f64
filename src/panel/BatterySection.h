#pragma once

#include "model/BatteryStatus.h"
#include "panel/CapacityLevel.h"
#include "panel/PanelElements.h"
#include "panel/PanelInputs.h"
#include "panel/Theme.h"

#include <string>
#include <string_view>

namespace trovimo {

// The battery: its charge as a large figure and a bar, what it is doing, time left and draw.
[[nodiscard]] SectionLayout layoutBatterySection(const PanelInputs& inputs, const Theme& theme,
                                                 double width);
// What a screen reader hears of it (SpokenTexts.h).
[[nodiscard]] QString spokenBatterySection(const PanelInputs& inputs);

} // namespace trovimo

namespace trovimo::texts {

// "充電中", "放電中", "満充電", "電源接続"; empty when the kernel does not say.
[[nodiscard]] std::string_view batteryStateText(BatteryState state) noexcept;
// "放電中・残り 3:25・8.4 W": the state, the time left and the draw, each where known.
[[nodiscard]] std::string batteryDetailText(const BatteryStatus& battery);
// Red at 10 % or less, orange at 20 % or less while discharging.
[[nodiscard]] CapacityLevel batteryLevel(const BatteryStatus& battery) noexcept;

} // namespace trovimo::texts

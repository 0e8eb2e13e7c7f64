#pragma once

#include "model/MemoryPressure.h"
#include "model/MemoryStats.h"
#include "panel/PanelElements.h"
#include "panel/PanelInputs.h"
#include "panel/Theme.h"

#include <optional>
#include <string>
#include <string_view>

namespace trovimo {

// Memory: used of total, the breakdown bar with its legend, swap and the pressure.
[[nodiscard]] SectionLayout layoutMemorySection(const PanelInputs& inputs, const Theme& theme,
                                                double width);
// What a screen reader hears of it (SpokenTexts.h).
[[nodiscard]] QString spokenMemorySection(const PanelInputs& inputs);

} // namespace trovimo

namespace trovimo::texts {

inline constexpr std::string_view appLegend = "App";
inline constexpr std::string_view wiredLegend = "固定";
inline constexpr std::string_view compressedLegend = "圧縮";

// "12.3 GB / 17.2 GB"
[[nodiscard]] std::string memoryUsageText(const MemoryStats& memory);
// "スワップ 1.2G/2.1G"; none without swap.
[[nodiscard]] std::optional<std::string> swapText(const MemoryStats& memory);
// "圧力 正常" and its siblings.
[[nodiscard]] std::string_view pressureText(MemoryPressure pressure) noexcept;

} // namespace trovimo::texts

#pragma once

#include "panel/PanelElements.h"
#include "panel/PanelInputs.h"
#include "panel/Theme.h"

namespace trovimo {

// The CPU: its load as a large figure, its one-minute history and, when asked for, a bar per core.
[[nodiscard]] SectionLayout layoutCPUSection(const PanelInputs& inputs, const Theme& theme,
                                             double width);

// What a screen reader hears of it (SpokenTexts.h).
[[nodiscard]] QString spokenCPUSection(const PanelInputs& inputs);

} // namespace trovimo

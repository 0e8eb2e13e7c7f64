#pragma once

#include "panel/PanelElements.h"
#include "panel/PanelInputs.h"
#include "panel/Theme.h"

namespace trovimo {

// The GPU: its utilisation as a large figure (a dash without one) and its one-minute history.
[[nodiscard]] SectionLayout layoutGPUSection(const PanelInputs& inputs, const Theme& theme,
                                             double width);

// What a screen reader hears of it (SpokenTexts.h).
[[nodiscard]] QString spokenGPUSection(const PanelInputs& inputs);

} // namespace trovimo

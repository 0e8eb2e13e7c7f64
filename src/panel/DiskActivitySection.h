#pragma once

#include "panel/PanelElements.h"
#include "panel/PanelInputs.h"
#include "panel/Theme.h"

namespace trovimo {

// The home disks' reads and writes: their device, two rates with their histories.
[[nodiscard]] SectionLayout layoutDiskActivitySection(const PanelInputs& inputs, const Theme& theme,
                                                      double width);

// What a screen reader hears of it (SpokenTexts.h).
[[nodiscard]] QString spokenDiskActivitySection(const PanelInputs& inputs);

} // namespace trovimo

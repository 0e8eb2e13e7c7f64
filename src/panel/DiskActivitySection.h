#pragma once

#include "panel/PanelLayout.h"

namespace trovimo {

// The home disks' reads and writes: their device, two rates with their histories.
[[nodiscard]] SectionLayout layoutDiskActivitySection(const PanelInputs& inputs, const Theme& theme,
                                                      double width);

} // namespace trovimo

#pragma once

#include "panel/PanelElements.h"
#include "panel/PanelInputs.h"
#include "panel/Theme.h"

namespace trovimo {

// The GPU: its utilisation as a large figure (a dash without one) and its one-minute history.
[[nodiscard]] SectionLayout layoutGPUSection(const PanelInputs& inputs, const Theme& theme,
                                             double width);

} // namespace trovimo

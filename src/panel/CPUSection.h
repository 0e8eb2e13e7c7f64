#pragma once

#include "panel/PanelLayout.h"

namespace trovimo {

// The CPU: its load as a large figure, its one-minute history and, when asked for, a bar per core.
[[nodiscard]] SectionLayout layoutCPUSection(const PanelInputs& inputs, const Theme& theme,
                                             double width);

} // namespace trovimo

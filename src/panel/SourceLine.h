#pragma once

#include "model/StatsSnapshot.h"
#include "panel/PanelElements.h"
#include "panel/Theme.h"

#include <QString>

namespace trovimo {

// The line that heads a panel showing another machine: a dot for how its source stands (green:
// the figures are fresh; grey: no answer yet; red: it cannot be reached), the machine's name
// in the caption style, and, while it cannot be reached, "接続できません" at the right edge.
// This machine's own panel has no such line.
[[nodiscard]] SectionLayout layoutSourceLine(const StatsSnapshot& stats, const Theme& theme,
                                             double width);

// The words at the right edge, empty when there are none.
[[nodiscard]] QString sourceStateText(SourceState state);

} // namespace trovimo

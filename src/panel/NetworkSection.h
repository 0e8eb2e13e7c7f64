#pragma once

#include "panel/PanelElements.h"
#include "panel/PanelInputs.h"
#include "panel/Theme.h"

namespace trovimo {

// The network: the primary interface's identity, the download and upload rates with their
// histories.
[[nodiscard]] SectionLayout layoutNetworkSection(const PanelInputs& inputs, const Theme& theme,
                                                 double width);

// What a screen reader hears of it (SpokenTexts.h).
[[nodiscard]] QString spokenNetworkSection(const PanelInputs& inputs);

} // namespace trovimo

#pragma once

#include "panel/PanelElements.h"
#include "panel/PanelInputs.h"
#include "panel/Theme.h"

namespace trovimo {

// The network: the primary interface's identity, the download and upload rates with their
// histories.
[[nodiscard]] SectionLayout layoutNetworkSection(const PanelInputs& inputs, const Theme& theme,
                                                 double width);

} // namespace trovimo

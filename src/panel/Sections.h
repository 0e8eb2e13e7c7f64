#pragma once

#include "panel/PanelLayout.h"

// The measurement sections of the panel, top to bottom. Each lays itself out in its own
// coordinates, `width` wide; see PanelLayout.h for how the panel places them.
namespace trovimo {

[[nodiscard]] SectionLayout layoutCPUSection(const PanelInputs& inputs, const Theme& theme,
                                             double width);
[[nodiscard]] SectionLayout layoutGPUSection(const PanelInputs& inputs, const Theme& theme,
                                             double width);
[[nodiscard]] SectionLayout layoutMemorySection(const PanelInputs& inputs, const Theme& theme,
                                                double width);
[[nodiscard]] SectionLayout layoutNetworkSection(const PanelInputs& inputs, const Theme& theme,
                                                 double width);
[[nodiscard]] SectionLayout layoutDiskSection(const PanelInputs& inputs, const Theme& theme,
                                              double width);
[[nodiscard]] SectionLayout layoutSensorsSection(const PanelInputs& inputs, const Theme& theme,
                                                 double width);
[[nodiscard]] SectionLayout layoutBatterySection(const PanelInputs& inputs, const Theme& theme,
                                                 double width);
[[nodiscard]] SectionLayout layoutDiskActivitySection(const PanelInputs& inputs, const Theme& theme,
                                                      double width);
[[nodiscard]] SectionLayout layoutSelfSection(const PanelInputs& inputs, const Theme& theme,
                                              double width);

} // namespace trovimo

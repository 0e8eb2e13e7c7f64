#pragma once

#include "model/SelfStats.h"
#include "panel/PanelElements.h"
#include "panel/PanelInputs.h"
#include "panel/Theme.h"

#include <unicode/locid.h>

#include <string>

namespace trovimo {

// What the monitor itself costs: its CPU time and memory in one row.
[[nodiscard]] SectionLayout layoutSelfSection(const PanelInputs& inputs, const Theme& theme,
                                              double width);
// What a screen reader hears of it (SpokenTexts.h).
[[nodiscard]] QString spokenSelfSection(const PanelInputs& inputs);

} // namespace trovimo

namespace trovimo::texts {

// "CPU 0.8%・41.2 MB": CPU time per elapsed time as percent with one decimal.
[[nodiscard]] std::string selfLoadText(const SelfStats& self, const icu::Locale& locale);
[[nodiscard]] std::string selfLoadText(const SelfStats& self);

} // namespace trovimo::texts

#pragma once

#include "panel/PanelElements.h"
#include "panel/PanelInputs.h"
#include "panel/PanelLayout.h"
#include "panel/Theme.h"

#include <QRect>
#include <QRegion>

namespace trovimo {

// What a relayout changes on screen: the new frame, and what of the one shown must be painted
// again. Most refreshes change a few numbers and the graphs; the labels, units and dividers
// stay.
struct FramePlan {
    PanelLayoutResult frame;
    // The size, the blocks or the number of elements differ: everything is painted again.
    bool rearranged = false;
    bool changed = false; // anything differs
    QRegion damage;       // unless rearranged: where an element changed, before and after
};

// The frame for `inputs`, compared with `shown`. A plain function: no widget, no clock.
[[nodiscard]] FramePlan planFrame(const PanelLayoutResult& shown, const PanelInputs& inputs,
                                  const Theme& theme);

// The pixels an element may touch: glyphs and antialiased edges reach a little past the
// laid-out rectangle, and rolling digits slide up to 2 points beyond it.
[[nodiscard]] QRect damageRect(const PanelElement& element);

} // namespace trovimo

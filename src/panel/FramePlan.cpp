#include "panel/FramePlan.h"

#include <utility>

namespace trovimo {

QRect damageRect(const PanelElement& element) {
    return elementRect(element).adjusted(-2, -3, 2, 3).toAlignedRect();
}

FramePlan planFrame(const PanelLayoutResult& shown, const PanelInputs& inputs, const Theme& theme) {
    FramePlan plan;
    plan.frame = layoutPanel(inputs, theme);
    const PanelLayoutResult& next = plan.frame;
    plan.rearranged = next.size != shown.size || next.blocks != shown.blocks ||
                      next.elements.size() != shown.elements.size();
    plan.changed = plan.rearranged;
    if (plan.rearranged) {
        return plan;
    }
    for (std::size_t index = 0; index < next.elements.size(); ++index) {
        if (next.elements[index] != shown.elements[index]) {
            plan.changed = true;
            // Uniting regions costs in proportion to their rectangles; a changed value mostly
            // keeps its place.
            const QRect before = damageRect(shown.elements[index]);
            const QRect after = damageRect(next.elements[index]);
            plan.damage += before;
            if (after != before) {
                plan.damage += after;
            }
        }
    }
    return plan;
}

} // namespace trovimo

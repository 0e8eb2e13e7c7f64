#include "panel/PanelElements.h"

#include <type_traits>

namespace trovimo {

QRectF elementRect(const PanelElement& element) {
    return std::visit([](const auto& item) { return item.rect; }, element);
}

void translateElement(PanelElement& element, QPointF offset) {
    std::visit(
        [offset](auto& item) {
            item.rect.translate(offset);
            if constexpr (std::is_same_v<std::decay_t<decltype(item)>, TextElement>) {
                item.baseline += offset.y();
            }
        },
        element);
}

} // namespace trovimo

#pragma once

#include "panel/PanelLayout.h"

#include <QRectF>
#include <QString>

#include <vector>

namespace trovimo {

// What a screen reader hears of one measurement section: the section's label as the name
// and everything else it shows, in reading order, as the value ("CPU", "45%").
struct AccessibleSection {
    Block block = Block::cpu;
    QString name;
    QString value;
    QRectF rect; // panel coordinates

    friend bool operator==(const AccessibleSection&, const AccessibleSection&) = default;
};

// The shown measurement sections of a computed panel, top to bottom. The texts are taken
// from the drawn elements, so what is read is exactly what is shown.
[[nodiscard]] std::vector<AccessibleSection> accessibleSections(const PanelLayoutResult& layout);

// The panel is painted by hand, so assistive technology sees nothing inside it unless told:
// registers an accessibility factory that presents every ContentView with one child per
// shown section, announcing changed texts after each layout pass. Idempotent.
void installPanelAccessibility();

} // namespace trovimo

#pragma once

#include "panel/CapacityBar.h"
#include "panel/CoreBars.h"
#include "panel/SegmentedBar.h"
#include "panel/Sparkline.h"
#include "panel/Theme.h"

#include <QPointF>
#include <QRectF>
#include <QString>

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

// What the panel draws: a flat list of elements in panel coordinates, each a plain value, so
// that tests compare them and the painter only draws them.
//
// Text: a TextElement holds its box, its first baseline and its style; `Theme` measures
// (`textWidth`, `ascent`, `lineHeight`, `wrappedHeight`). Rows aligned on the first text
// baseline put every text of the row on one `baseline`. The painter elides at the end of
// the box (after shrinking to `minimumScale` where allowed) and never wraps unless `wrap`.
// Value texts that roll their digits carry an `AnimatedNumber` with a stable id (for
// example "cpu.value") and the key that triggers the roll when it changes.
namespace trovimo {

// A number text that rolls its changed digits when `key` differs from the previous
// evaluation's key under the same `id` (and value animation is on).
struct AnimatedNumber {
    QString id;
    QString key;
    friend bool operator==(const AnimatedNumber&, const AnimatedNumber&) = default;
};

struct TextElement {
    QRectF rect;         // the box the text may use
    double baseline = 0; // y of the first baseline; ignored when `wrap`
    QString text;
    FontSpec font;
    ColorRole color = ColorRole::primary;
    Qt::Alignment alignment = Qt::AlignLeft; // horizontal placement inside `rect`
    double minimumScale = 1.0;               // may shrink to this factor before eliding
    bool wrap = false;                       // word-wrapped over `rect`, lines aligned
    std::vector<qsizetype> lineBreaks;       // with `wrap`: where lines start, placed ahead
    std::optional<AnimatedNumber> animation;
    friend bool operator==(const TextElement&, const TextElement&) = default;
};

// Small pictograms of our own drawing, tinted when painted.
enum class Symbol : std::uint8_t {
    settings,
    pinned,
    unpinned,
    alert,
    openPage,
    download,
    upload,
};

struct SymbolElement {
    QRectF rect; // the glyph is centred in it at `pixelSize`
    Symbol symbol = Symbol::settings;
    double pixelSize = 9.0;
    ColorRole color = ColorRole::secondary;
    friend bool operator==(const SymbolElement&, const SymbolElement&) = default;
};

// A filled circle (legend dots, the pressure indicator).
struct DotElement {
    QRectF rect;
    ColorRole color = ColorRole::blue;
    friend bool operator==(const DotElement&, const DotElement&) = default;
};

// The thin horizontal separator across the column.
struct DividerElement {
    QRectF rect;
    friend bool operator==(const DividerElement&, const DividerElement&) = default;
};

struct CapacityBarElement {
    QRectF rect;
    CapacityBar gauge;
    friend bool operator==(const CapacityBarElement&, const CapacityBarElement&) = default;
};
struct SegmentedBarElement {
    QRectF rect;
    SegmentedBar gauge;
    friend bool operator==(const SegmentedBarElement&, const SegmentedBarElement&) = default;
};
struct CoreBarsElement {
    QRectF rect;
    CoreBars gauge;
    friend bool operator==(const CoreBarsElement&, const CoreBarsElement&) = default;
};
struct SparklineElement {
    QRectF rect;
    Sparkline gauge;
    friend bool operator==(const SparklineElement&, const SparklineElement&) = default;
};

using PanelElement =
    std::variant<TextElement, SymbolElement, DotElement, DividerElement, CapacityBarElement,
                 SegmentedBarElement, CoreBarsElement, SparklineElement>;

// The rectangle an element occupies.
[[nodiscard]] QRectF elementRect(const PanelElement& element);
// Moves an element by `offset`.
void translateElement(PanelElement& element, QPointF offset);

struct SectionLayout {
    double height = 0.0;
    std::vector<PanelElement> elements;
};

} // namespace trovimo

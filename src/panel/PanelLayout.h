#pragma once

#include "model/BatteryStatus.h"
#include "model/CPULoad.h"
#include "model/DiskActivity.h"
#include "model/DiskUsage.h"
#include "model/DisplaySettings.h"
#include "model/MemoryStats.h"
#include "model/NetworkInfo.h"
#include "model/NetworkSpeed.h"
#include "model/SelfStats.h"
#include "model/SensorReadings.h"
#include "panel/CapacityBar.h"
#include "panel/CoreBars.h"
#include "panel/SegmentedBar.h"
#include "panel/Sparkline.h"
#include "panel/Theme.h"

#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QUrl>

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <variant>
#include <vector>

// The panel is computed, then drawn. `layoutPanel` turns everything the panel shows (store
// values, settings, update status, hover flag, the current time) into a flat list of
// drawable elements in panel coordinates; `ContentView::paintEvent` only draws that list.
//
// How a measurement section plugs in
// ----------------------------------
// Each section is one function (declared in panel/Sections.h, one .cpp per section):
//
//     SectionLayout layoutCPUSection(const PanelInputs& in, const Theme& theme, double width);
//
// It reads `in.stats` and `in.settings`, and returns its elements in its own coordinates:
// origin at the section's top-left corner, x to the right, y down, `width` wide (the
// content column, 166), plus the section's total `height`. The panel places the section
// below the previous block (moving every element down), draws the divider above it and
// leaves 10 between blocks. A section never draws outside [0, width] x [0, height].
//
// Text: a TextElement holds its box, its first baseline and its style; `Theme` measures
// (`textWidth`, `ascent`, `lineHeight`, `wrappedHeight`). Rows aligned on the first text
// baseline put every text of the row on one `baseline`. The painter elides at the end of
// the box (after shrinking to `minimumScale` where allowed) and never wraps unless `wrap`.
// Value texts that roll their digits carry an `AnimatedNumber` with a stable id (for
// example "cpu.value") and the key that triggers the roll when it changes.
//
// The shared conventions (section header row, legend item and legend row, section label
// style) are the helpers at the end of this file; use them so every section looks alike.

namespace trovimo {

class ClockFormatter;
class StatsStore;

// ---- Drawable elements -----------------------------------------------------------------

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

// ---- Inputs ------------------------------------------------------------------------------

// The statistics store's published values, copied for one evaluation.
struct StatsSnapshot {
    std::optional<CPULoad> cpu;
    std::vector<double> cpuHistory;
    std::optional<double> gpu;
    std::vector<double> gpuHistory;
    std::optional<MemoryStats> memory;
    std::optional<NetworkSpeed> network;
    std::optional<NetworkInfo> networkInfo;
    std::vector<double> downloadHistory;
    std::vector<double> uploadHistory;
    std::optional<DiskUsage> disk;
    std::optional<SelfStats> selfStats;
    std::optional<SensorReadings> sensors;
    std::vector<double> cpuTemperatureHistory; // °C
    std::optional<BatteryStatus> battery;
    std::optional<DiskActivity> diskActivity;
    std::vector<double> diskReadHistory;
    std::vector<double> diskWriteHistory;

    [[nodiscard]] static StatsSnapshot capture(const StatsStore& store);
};

// What the panel needs of the update status.
struct PanelUpdateStatus {
    enum class Kind : std::uint8_t { upToDate, optional, required };
    Kind kind = Kind::upToDate;
    QString latestVersion;
    QUrl url;
    friend bool operator==(const PanelUpdateStatus&, const PanelUpdateStatus&) = default;
};

struct PanelInputs {
    StatsSnapshot stats;
    DisplaySettings settings;
    PanelUpdateStatus update;
    bool hovering = false;
    std::chrono::system_clock::time_point now{};
    // Formats the clock's texts; null uses the process's formatter for the default locale.
    const ClockFormatter* clock = nullptr;
};

// ---- Result ------------------------------------------------------------------------------

enum class PanelBlock : std::uint8_t {
    updateBadge,
    clock,
    cpu,
    gpu,
    memory,
    network,
    disk,
    sensors,
    battery,
    diskActivity,
    self,
    emptyState,
};

enum class PanelAction : std::uint8_t { openUpdatePage, openSettings, togglePin };

// A clickable area with its tooltip (empty: none).
struct HitRegion {
    QRectF rect;
    PanelAction action = PanelAction::openSettings;
    QString toolTip;
};

struct PanelLayoutResult {
    QSizeF size;                    // the whole panel, padding included
    std::vector<PanelBlock> blocks; // shown blocks, top to bottom
    // For each of `blocks`, its elements: [first, second) of `elements`.
    std::vector<std::pair<std::size_t, std::size_t>> blockElements;
    std::vector<PanelElement> elements;
    std::vector<HitRegion> hitRegions;
    // Index into `elements` of the clock's seconds bar, when the clock is shown.
    std::optional<std::size_t> secondsBar;
};

struct PanelMetrics {
    static constexpr double width = 190.0;
    static constexpr double padding = 12.0;
    static constexpr double columnWidth = width - 2 * padding;
    static constexpr double blockSpacing = 10.0;
    static constexpr double cornerRadius = 14.0;
    static constexpr double borderWidth = 1.0;
};

[[nodiscard]] PanelLayoutResult layoutPanel(const PanelInputs& inputs, const Theme& theme);

// The settings and pin controls at the top-right corner, drawn while the pointer is over the
// panel: where they are, what they do and their tooltips.
[[nodiscard]] std::array<HitRegion, 2> hoverControls(bool alwaysOnTop);

// ---- Shared section conventions ---------------------------------------------------------

// Caption, medium weight, secondary colour.
[[nodiscard]] FontSpec sectionLabelFont();

// The section header row at `y`: `label` at the left, `value` (when given: its text, font,
// colour and animation are used, its box is computed) at the right edge, both on one
// baseline; the value is elided at its end when the row is too narrow. Returns the height.
// `labelFont` gives rows within a section the same arrangement in their own font.
double appendSectionHeader(SectionLayout& out, const Theme& theme, double y, double width,
                           const QString& label, std::optional<TextElement> value,
                           const FontSpec& labelFont = sectionLabelFont());

struct LegendEntry {
    QString label;
    std::int64_t bytes = 0;
    ColorRole color = ColorRole::blue;
};
// One legend item at `origin` (top-left), rowHeight high: a 5 x 5 dot and
// "<label> <formatBytesCompact(bytes)>", caption 2, secondary, monospaced digits.
// `scale` narrows the text's box; the text shrinks with it to 0.75, then is cut. Returns
// its width.
double appendLegendItem(SectionLayout& out, const Theme& theme, QPointF origin, double rowHeight,
                        const LegendEntry& entry, double scale = 1.0);
// A legend row at `y`: items 5 apart, shrunk together (to 0.75 at the most, then cut) when
// they do not fit `width`. Returns the height.
double appendLegendRow(SectionLayout& out, const Theme& theme, double y, double width,
                       std::span<const LegendEntry> entries);

} // namespace trovimo

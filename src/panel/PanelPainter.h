#pragma once

#include "panel/NumberRoller.h"
#include "panel/PanelLayout.h"

class QPainter;
class QRegion;

namespace trovimo {

struct PaintCache;

// Draws a computed panel; makes no decisions of its own. What it keeps between paints lives
// in the caller's `cache`.
namespace panelPainter {

// The panel's rounded outline in whole pixels: the window's shape where it is opaque.
[[nodiscard]] QRegion outline(const QSizeF& size);
// The rounded background and its inset border, `size` large; outside the rounded corners
// transparent, or the background colour when that is opaque (the window is then shaped to
// the outline and antialiased edges blend into the background).
void paintFrame(QPainter& painter, const QSizeF& size, const Theme& theme);
// The frame under `dirty` only (widget coordinates, what a paint event repaints).
void paintFrame(QPainter& painter, const QSizeF& size, const Theme& theme, const QRegion& dirty);
// Frame and every element, in order. `roller` (may be null) supplies the rolls of animated
// numbers at `now`.
void paint(QPainter& painter, const PanelLayoutResult& layout, const Theme& theme,
           PaintCache& cache, const NumberRoller* roller = nullptr,
           NumberRoller::Clock::time_point now = {});
void paintElement(QPainter& painter, const PanelElement& element, const Theme& theme,
                  PaintCache& cache, const NumberRoller* roller = nullptr,
                  NumberRoller::Clock::time_point now = {});
void paintText(QPainter& painter, const TextElement& text, const Theme& theme, PaintCache& cache,
               const NumberRoller::Roll* roll = nullptr);
// A gauge through the panel's pixel code, or with QPainter where that does not take it (or
// is switched off in `cache`).
void paintGauge(QPainter& painter, const CapacityBar& gauge, const QRectF& rect, const Theme& theme,
                PaintCache& cache);
void paintGauge(QPainter& painter, const SegmentedBar& gauge, const QRectF& rect,
                const Theme& theme, PaintCache& cache);
void paintGauge(QPainter& painter, const CoreBars& gauge, const QRectF& rect, const Theme& theme,
                PaintCache& cache);
void paintGauge(QPainter& painter, const Sparkline& gauge, const QRectF& rect, const Theme& theme,
                PaintCache& cache);

} // namespace panelPainter
} // namespace trovimo

#pragma once

#include "panel/NumberRoller.h"
#include "panel/PanelLayout.h"

class QPainter;
class QRegion;

namespace trovimo {

// Draws a computed panel; makes no decisions of its own.
class PanelPainter {
public:
    // The panel's rounded outline in whole pixels: the window's shape where it is opaque.
    [[nodiscard]] static QRegion outline(const QSizeF& size);
    // The rounded background and its inset border, `size` large; outside the rounded
    // corners transparent, or the background colour when that is opaque (the window is
    // then shaped to the outline and antialiased edges blend into the background).
    static void paintFrame(QPainter& painter, const QSizeF& size, const Theme& theme);
    // The frame under `dirty` only (widget coordinates, what a paint event repaints).
    static void paintFrame(QPainter& painter, const QSizeF& size, const Theme& theme,
                           const QRegion& dirty);
    // Frame and every element, in order. `roller` (may be null) supplies the rolls of
    // animated numbers at `now`.
    static void paint(QPainter& painter, const PanelLayoutResult& layout, const Theme& theme,
                      const NumberRoller* roller = nullptr,
                      NumberRoller::Clock::time_point now = {});
    static void paintElement(QPainter& painter, const PanelElement& element, const Theme& theme,
                             const NumberRoller* roller = nullptr,
                             NumberRoller::Clock::time_point now = {});
    static void paintText(QPainter& painter, const TextElement& text, const Theme& theme,
                          const NumberRoller::Roll* roll = nullptr);
};

} // namespace trovimo

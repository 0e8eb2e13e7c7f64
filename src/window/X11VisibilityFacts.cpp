#include "window/X11VisibilityFacts.h"

#include "window/XcbWindowSystem.h"

#include <QRegion>

namespace trovimo {
namespace {

bool onOtherDesktop(std::optional<std::uint32_t> desktop, std::uint32_t current) {
    return desktop && *desktop != XcbWindowSystem::allDesktops && *desktop != current;
}

bool shown(const X11VisibilityFacts& facts) {
    // Compositing window managers keep minimised windows mapped for their previews.
    return facts.viewable && !facts.iconic &&
           !(facts.currentDesktop && onOtherDesktop(facts.desktop, *facts.currentDesktop));
}

bool fromStacking(const X11VisibilityFacts& facts, OcclusionSource source) {
    // The server reports no covering for a redirected window, and it redirects more than a
    // compositor's windows: a translucent (32-bit) window inside the window manager's 24-bit
    // frame is redirected implicitly, compositor or not.
    return source == OcclusionSource::stacking ||
           (source == OcclusionSource::automatic && (facts.compositing || facts.redirected));
}

bool coveredByStacking(const X11VisibilityFacts& facts) {
    // Not managed (yet), or no such list: nothing to go by. On top: the pinned panel's usual
    // place.
    if (facts.stacking != X11VisibilityFacts::Stacking::under) {
        return false;
    }
    const std::uint32_t current = facts.currentDesktop.value_or(0);
    std::vector<QRect> frames;
    frames.reserve(facts.above.size());
    for (const X11VisibilityFacts::Above& window : facts.above) {
        if (!window.viewable || window.hidden || onOtherDesktop(window.desktop, current)) {
            continue;
        }
        const QMargins extents = window.extents.value_or(QMargins());
        frames.push_back(window.frame.marginsAdded(extents));
    }
    return isFullyCovered(facts.frame, frames);
}

} // namespace

bool stackingDecides(const X11VisibilityFacts& facts, OcclusionSource source) noexcept {
    return shown(facts) && fromStacking(facts, source) &&
           facts.stacking == X11VisibilityFacts::Stacking::under;
}

VisibilityAnswer decideVisibility(const X11VisibilityFacts& facts, OcclusionSource source) {
    if (!shown(facts)) {
        return {false, false};
    }
    const bool visible =
        fromStacking(facts, source) ? !coveredByStacking(facts) : !facts.fullyObscured;
    return {visible,
            visible && facts.watched && facts.stacking == X11VisibilityFacts::Stacking::onTop};
}

bool isFullyCovered(const QRect& ours, std::span<const QRect> above) {
    if (ours.isEmpty()) {
        return false;
    }
    QRegion uncovered(ours);
    for (const QRect& frame : above) {
        uncovered -= frame;
        if (uncovered.isEmpty()) {
            return true;
        }
    }
    return false;
}

} // namespace trovimo

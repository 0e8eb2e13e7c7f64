#pragma once

#include <QMargins>
#include <QRect>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace trovimo {

// How being covered is found out on X11. The X server reports it (VisibilityNotify) only for
// windows drawn straight to the screen; a redirected window (every window under a compositor,
// and a translucent window in any case) never gets the report, so the frames of the windows
// stacked above are compared instead. `automatic` picks by the window's depth and the
// compositor's presence.
enum class OcclusionSource { automatic, visibilityEvents, stacking };

// What the X server and the window manager say about the panel's window at one moment,
// as plain values: gathered on the connection, decided on by decideVisibility().
struct X11VisibilityFacts {
    // Where the window stands in the window manager's stacking list.
    enum class Stacking { unlisted, onTop, under };

    // A window stacked above ours.
    struct Above {
        QRect frame; // the client window in root coordinates
        bool viewable = true;
        bool hidden = false; // _NET_WM_STATE_HIDDEN
        std::optional<std::uint32_t> desktop;
        std::optional<QMargins> extents; // the window manager's frame around it
    };

    bool viewable = false; // mapped, and every ancestor with it
    bool iconic = false;   // WM_STATE iconic, or _NET_WM_STATE_HIDDEN
    std::optional<std::uint32_t> desktop;
    std::optional<std::uint32_t> currentDesktop;
    bool compositing = false;   // a compositing manager owns its selection
    bool redirected = false;    // a depth other than the root's, or none known
    bool fullyObscured = false; // the last VisibilityNotify's word
    Stacking stacking = Stacking::unlisted;
    // Every change that could cover the window is reported to us (the root's property
    // changes, our window's properties and structure).
    bool watched = false;
    // Read only where the stacking order decides (stackingDecides()): our frame (empty when
    // the window went meanwhile) and the windows above it, bottom to top.
    QRect frame;
    std::vector<Above> above;
};

struct VisibilityAnswer {
    bool visible = true;
    // The answer may be kept until an event could change it: visible, nothing stacked
    // above, every such change reported.
    bool holds = false;
};

// Whether the answer turns on the windows stacked above ours (worth a second round trip).
[[nodiscard]] bool stackingDecides(const X11VisibilityFacts& facts,
                                   OcclusionSource source) noexcept;
[[nodiscard]] VisibilityAnswer decideVisibility(const X11VisibilityFacts& facts,
                                                OcclusionSource source);
// Whether the rectangles together cover `ours` completely.
[[nodiscard]] bool isFullyCovered(const QRect& ours, std::span<const QRect> above);

} // namespace trovimo

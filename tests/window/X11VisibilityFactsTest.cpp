#include "window/X11VisibilityFacts.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

namespace trovimo {
namespace {

using Facts = X11VisibilityFacts;
using Source = OcclusionSource;
constexpr std::uint32_t everyDesktop = 0xFFFFFFFFu;

Facts::Above window(QRect frame) {
    Facts::Above above;
    above.frame = frame;
    return above;
}

// The panel at (100, 100), 190 x 300, on workspace 1 of a compositing desktop, under one
// window that is beside it; every change that could cover it reported.
Facts desktop() {
    Facts facts;
    facts.viewable = true;
    facts.desktop = everyDesktop;
    facts.currentDesktop = 1;
    facts.compositing = true;
    facts.redirected = true;
    facts.stacking = Facts::Stacking::under;
    facts.watched = true;
    facts.frame = QRect(100, 100, 190, 300);
    facts.above = {window({300, 100, 400, 300})};
    return facts;
}

// Which facts make the panel hidden, visible, or visible for a while without asking again.
TEST(VisibilityDecision, FromTheFactsOfOneMoment) {
    const std::tuple<const char*, Source, std::function<void(Facts&)>, bool, bool> cases[] = {
        {"beside another window", Source::automatic, [](Facts&) {}, true, false},
        {"unmapped", Source::automatic, [](Facts& f) { f.viewable = false; }, false, false},
        {"minimised", Source::automatic, [](Facts& f) { f.iconic = true; }, false, false},
        {"on another workspace", Source::automatic, [](Facts& f) { f.desktop = 2; }, false, false},
        {"on this workspace", Source::automatic, [](Facts& f) { f.desktop = 1; }, true, false},
        {"no current workspace known", Source::automatic,
         [](Facts& f) {
             f.desktop = 2;
             f.currentDesktop.reset();
         },
         true, false},
        // Covering from the stacking order: what the frames above add up to.
        {"under one larger window", Source::automatic,
         [](Facts& f) {
             f.above = {window({0, 0, 800, 600})};
         },
         false, false},
        {"under exactly its frame", Source::automatic,
         [](Facts& f) {
             f.above = {window({100, 100, 190, 300})};
         },
         false, false},
        {"under two halves", Source::automatic,
         [](Facts& f) {
             f.above = {window({0, 0, 195, 600}), window({195, 0, 400, 600})};
         },
         false, false},
        {"one pixel column left", Source::automatic,
         [](Facts& f) {
             f.above = {window({0, 0, 195, 600}), window({196, 0, 400, 600})};
         },
         true, false},
        {"the window manager's frame closes the gap", Source::automatic,
         [](Facts& f) {
             f.above = {window({0, 0, 195, 600}), window({197, 0, 400, 600})};
             f.above[1].extents = QMargins(2, 0, 0, 0);
         },
         false, false},
        {"the window above is minimised", Source::automatic,
         [](Facts& f) {
             f.above = {window({0, 0, 800, 600})};
             f.above[0].hidden = true;
         },
         true, false},
        {"the window above is unmapped", Source::automatic,
         [](Facts& f) {
             f.above = {window({0, 0, 800, 600})};
             f.above[0].viewable = false;
         },
         true, false},
        {"the window above is on another workspace", Source::automatic,
         [](Facts& f) {
             f.above = {window({0, 0, 800, 600})};
             f.above[0].desktop = 2;
         },
         true, false},
        {"the window above is on every workspace", Source::automatic,
         [](Facts& f) {
             f.above = {window({0, 0, 800, 600})};
             f.above[0].desktop = everyDesktop;
         },
         false, false},
        {"our frame went meanwhile", Source::automatic,
         [](Facts& f) {
             f.above = {window({0, 0, 800, 600})};
             f.frame = QRect();
         },
         true, false},
        {"not in the stacking list", Source::automatic,
         [](Facts& f) {
             f.above = {window({0, 0, 800, 600})};
             f.stacking = Facts::Stacking::unlisted;
         },
         true, false},
        // Opaque, no compositor: the server's reports decide, the stacking order does not.
        {"drawn to the screen, reported covered", Source::automatic,
         [](Facts& f) {
             f.compositing = f.redirected = false;
             f.fullyObscured = true;
         },
         false, false},
        {"drawn to the screen, frames above ignored", Source::automatic,
         [](Facts& f) {
             f.compositing = f.redirected = false;
             f.above = {window({0, 0, 800, 600})};
         },
         true, false},
        {"redirected without a compositor", Source::automatic,
         [](Facts& f) {
             f.compositing = false;
             f.above = {window({0, 0, 800, 600})};
         },
         false, false},
        {"events asked for under a compositor", Source::visibilityEvents,
         [](Facts& f) { f.fullyObscured = true; }, false, false},
        {"stacking asked for, reports ignored", Source::stacking,
         [](Facts& f) {
             f.compositing = f.redirected = false;
             f.fullyObscured = true;
         },
         true, false},
        // On top with every change reported: the answer holds.
        {"on top", Source::automatic, [](Facts& f) { f.stacking = Facts::Stacking::onTop; }, true,
         true},
        {"on top, changes not reported", Source::automatic,
         [](Facts& f) {
             f.stacking = Facts::Stacking::onTop;
             f.watched = false;
         },
         true, false},
        {"on top but minimised", Source::automatic,
         [](Facts& f) {
             f.stacking = Facts::Stacking::onTop;
             f.iconic = true;
         },
         false, false},
    };
    for (const auto& [name, source, change, visible, holds] : cases) {
        Facts facts = desktop();
        change(facts);
        const VisibilityAnswer answer = decideVisibility(facts, source);
        EXPECT_EQ(answer.visible, visible) << name;
        EXPECT_EQ(answer.holds, holds) << name;
        // The windows above are asked for only where they can change the answer.
        if (!stackingDecides(facts, source)) {
            facts.above.clear();
            EXPECT_EQ(decideVisibility(facts, source).visible, visible) << name;
        }
    }
}

} // namespace
} // namespace trovimo

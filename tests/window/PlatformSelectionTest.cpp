#include "window/PlatformSelection.h"

#include <gtest/gtest.h>

namespace trovimo {
namespace {

struct PlatformCase {
    const char* name;
    PlatformEnvironment environment;
    std::optional<std::string> forced;
    bool available;
    bool reachable = true;
};

// Nothing set, and Wayland chosen with no compositor there, are the fault matrix's
// (UnreachableDisplayIsReportedNotAborted), run for real.
TEST(PlatformChoice, PicksX11WhereThePanelNeedsIt) {
    const PlatformCase cases[] = {
        {"X11 session", {std::nullopt, std::nullopt, ":0", true}, std::nullopt, true},
        {"Wayland with XWayland", {std::nullopt, "wayland-0", ":0", true}, "xcb", true},
        {"Wayland, no X server at DISPLAY", {{}, "wayland-0", ":0", false, true}, "wayland", false},
        {"Wayland without X", {{}, "wayland-0", {}, false, true}, "wayland", false},
        {"neither answers", {{}, "wayland-0", ":0"}, {}, false, false},
        {"user chose wayland", {"wayland", "wayland-0", ":0", true, true}, std::nullopt, false},
        {"user listed xcb after wayland", {"wayland;xcb:x=1", {}, ":0", true}, {}, false},
        {"user chose xcb", {"xcb", "wayland-0", ":0", true}, std::nullopt, true},
        {"Wayland without X or Qt's plugin",
         {{}, "wayland-0", {}, false, true, false},
         {},
         false,
         false},
        {"user listed wayland first, no plugin",
         {"wayland;xcb", "wayland-0", ":0", true, true, false},
         {},
         false},
    };
    for (const PlatformCase& c : cases) {
        const PlatformChoice choice = choosePlatform(c.environment);
        EXPECT_EQ(choice.forcedPlatform, c.forced) << c.name;
        EXPECT_EQ(choice.windowBehaviourAvailable, c.available) << c.name;
        EXPECT_EQ(choice.displayReachable, c.reachable) << c.name;
        EXPECT_EQ(choice.waylandPluginMissing,
                  !c.environment.waylandPluginInstalled && !c.reachable)
            << c.name;
    }
}

} // namespace
} // namespace trovimo

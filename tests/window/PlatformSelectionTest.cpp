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

class PlatformChoiceTable : public ::testing::TestWithParam<PlatformCase> {};

TEST_P(PlatformChoiceTable, PicksX11WhereThePanelNeedsIt) {
    const PlatformCase& c = GetParam();
    const PlatformChoice choice = choosePlatform(c.environment);
    EXPECT_EQ(choice.forcedPlatform, c.forced) << c.name;
    EXPECT_EQ(choice.windowBehaviourAvailable, c.available) << c.name;
    EXPECT_EQ(choice.displayReachable, c.reachable) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlatformChoiceTable,
    ::testing::Values(
        PlatformCase{"X11 session", {std::nullopt, std::nullopt, ":0", true}, std::nullopt, true},
        PlatformCase{"Wayland with XWayland", {std::nullopt, "wayland-0", ":0", true}, "xcb", true},
        PlatformCase{"Wayland, DISPLAY set but no X server",
                     {std::nullopt, "wayland-0", ":0", false, true},
                     "wayland",
                     false},
        PlatformCase{"Wayland without X",
                     {std::nullopt, "wayland-0", std::nullopt, false, true},
                     "wayland",
                     false},
        PlatformCase{"neither answers", {{}, "wayland-0", ":0"}, {}, false, false},
        PlatformCase{
            "user chose wayland", {"wayland", "wayland-0", ":0", true, true}, std::nullopt, false},
        PlatformCase{
            "user chose wayland, none there", {"wayland", {}, ":0", true}, {}, false, false},
        PlatformCase{
            "user listed xcb after wayland", {"wayland;xcb:x=1", {}, ":0", true}, {}, false},
        PlatformCase{"user chose xcb", {"xcb", "wayland-0", ":0", true}, std::nullopt, true},
        PlatformCase{"nothing at all", {}, std::nullopt, false, false}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

} // namespace
} // namespace trovimo

#pragma once

#include <optional>
#include <string>

namespace trovimo {

// What the start-up knows about the session before the application object exists.
struct PlatformEnvironment {
    std::optional<std::string> qpaPlatform;    // QT_QPA_PLATFORM, when the user chose
    std::optional<std::string> waylandDisplay; // WAYLAND_DISPLAY
    std::optional<std::string> display;        // DISPLAY
    bool xServerReachable = false;             // a connection to DISPLAY succeeds
    bool compositorReachable = false;          // a connection to the Wayland socket succeeds
    bool waylandPluginInstalled = true;        // Qt's Wayland platform plugin (qt6-wayland)
};

struct PlatformChoice {
    // Value for QT_QPA_PLATFORM; none leaves Qt's own choice.
    std::optional<std::string> forcedPlatform;
    // Levels, placement and snapping need X11; without it they are unavailable.
    bool windowBehaviourAvailable = true;
    // False when no platform Qt would try can reach its display: Qt would abort.
    bool displayReachable = true;
    // A compositor answers, but Qt could not talk to it: its Wayland plugin is missing.
    bool waylandPluginMissing = false;
};

// The panel places itself, stays above or below other windows and shows on every
// workspace: plain Wayland clients can do none of that, so a Wayland session with an X
// server (XWayland) runs the panel through X11. A session whose X server does not answer
// runs through Wayland when a compositor does.
[[nodiscard]] PlatformChoice choosePlatform(const PlatformEnvironment& environment);

// Call before the application object is made: reads the environment, sets
// QT_QPA_PLATFORM when X11 or Wayland has to be used and logs one line when X11 cannot be.
// False when no display can be reached (at start-up from a login item the session may not
// be ready yet); one line saying so is then on standard error.
[[nodiscard]] bool selectPlatform();

} // namespace trovimo

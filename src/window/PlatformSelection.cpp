#include "window/PlatformSelection.h"

#include "model/SystemLog.h"

#include <xcb/xcb.h>

#include <QString>

#include <cstdlib>

namespace trovimo {
namespace {

std::optional<std::string> environmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

bool canReachXServer() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool reachable = connection != nullptr && xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection); // accepts a connection in the error state too
    return reachable;
}

} // namespace

PlatformChoice choosePlatform(const PlatformEnvironment& environment) {
    PlatformChoice choice;
    if (environment.qpaPlatform) {
        // The user's explicit choice stands; only xcb gives the full behaviour.
        choice.windowBehaviourAvailable =
            environment.qpaPlatform->rfind("xcb", 0) == 0 && environment.xServerReachable;
        return choice;
    }
    if (environment.display && environment.xServerReachable) {
        if (environment.waylandDisplay) {
            choice.forcedPlatform = "xcb";
        }
        return choice;
    }
    choice.windowBehaviourAvailable = false;
    return choice;
}

void selectPlatform() {
    PlatformEnvironment environment;
    environment.qpaPlatform = environmentValue("QT_QPA_PLATFORM");
    environment.waylandDisplay = environmentValue("WAYLAND_DISPLAY");
    environment.display = environmentValue("DISPLAY");
    environment.xServerReachable = environment.display.has_value() && canReachXServer();

    const PlatformChoice choice = choosePlatform(environment);
    if (choice.forcedPlatform) {
        setenv("QT_QPA_PLATFORM", choice.forcedPlatform->c_str(), 1);
    }
    if (!choice.windowBehaviourAvailable) {
        systemLog(logWindow(),
                  QStringLiteral("WindowConfigurator: X11 で動作していないため、"
                                 "ウィンドウの階層・配置・端へのスナップは使えません"));
    }
}

} // namespace trovimo

#include "window/PlatformSelection.h"

#include "core/SystemLog.h"

#include <xcb/xcb.h>

#include <QDir>
#include <QLibraryInfo>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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

// Where libwayland-client connects: WAYLAND_DISPLAY (default "wayland-0"), relative to
// XDG_RUNTIME_DIR unless absolute. WAYLAND_SOCKET hands over a connection already made.
bool canReachCompositor(const std::optional<std::string>& waylandDisplay) {
    if (environmentValue("WAYLAND_SOCKET")) {
        return true;
    }
    std::string path = waylandDisplay.value_or("wayland-0");
    if (path.front() != '/') {
        const std::optional<std::string> runtime = environmentValue("XDG_RUNTIME_DIR");
        if (!runtime) {
            return false;
        }
        path = *runtime + '/' + path;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.data(), path.size());
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool reachable =
        socket >= 0 &&
        ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (socket >= 0) {
        ::close(socket);
    }
    return reachable;
}

// Where Qt looks for its platform plugins, in its order; the Wayland plugins come from
// qt6-wayland, which a system without it (or a build installed by hand) may lack.
bool waylandPluginInstalled() {
    QStringList folders;
    if (const auto path = environmentValue("QT_QPA_PLATFORM_PLUGIN_PATH")) {
        folders << QString::fromLocal8Bit(path->c_str());
    }
    if (const auto paths = environmentValue("QT_PLUGIN_PATH")) {
        for (const QString& path : QString::fromLocal8Bit(paths->c_str()).split(QLatin1Char(':'))) {
            folders << path + QStringLiteral("/platforms");
        }
    }
    folders << QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms");
    return std::any_of(folders.begin(), folders.end(), [](const QString& folder) {
        return !QDir(folder).entryList({QStringLiteral("libqwayland-*.so")}, QDir::Files).isEmpty();
    });
}

// QT_QPA_PLATFORM may list platforms to try in turn ("wayland;xcb"), each with options
// after a colon.
template <typename Visit> bool anyPlatform(std::string_view list, Visit visit) {
    while (true) {
        const std::size_t end = list.find(';');
        const std::string_view entry = list.substr(0, end);
        if (visit(entry.substr(0, entry.find(':')))) {
            return true;
        }
        if (end == std::string_view::npos) {
            return false;
        }
        list.remove_prefix(end + 1);
    }
}

} // namespace

PlatformChoice choosePlatform(const PlatformEnvironment& environment) {
    PlatformChoice choice;
    if (environment.qpaPlatform) {
        // The user's explicit choice stands; only xcb gives the full behaviour.
        choice.windowBehaviourAvailable =
            environment.qpaPlatform->rfind("xcb", 0) == 0 && environment.xServerReachable;
        choice.displayReachable = anyPlatform(*environment.qpaPlatform, [&](auto name) {
            if (name == "xcb") {
                return environment.xServerReachable;
            }
            if (name.rfind("wayland", 0) == 0) {
                return environment.compositorReachable && environment.waylandPluginInstalled;
            }
            return true; // offscreen, vnc, a framebuffer: Qt needs nothing from the session
        });
        return choice;
    }
    if (environment.display && environment.xServerReachable) {
        if (environment.waylandDisplay) {
            choice.forcedPlatform = "xcb";
        }
        return choice;
    }
    choice.windowBehaviourAvailable = false;
    const bool compositor = environment.waylandDisplay && environment.compositorReachable;
    if (compositor && environment.waylandPluginInstalled) {
        // Left to itself, Qt may still try the X server that does not answer.
        choice.forcedPlatform = "wayland";
    } else {
        choice.displayReachable = false;
        choice.waylandPluginMissing = compositor;
    }
    return choice;
}

bool selectPlatform() {
    PlatformEnvironment environment;
    environment.qpaPlatform = environmentValue("QT_QPA_PLATFORM");
    environment.waylandDisplay = environmentValue("WAYLAND_DISPLAY");
    environment.display = environmentValue("DISPLAY");
    environment.xServerReachable = environment.display.has_value() && canReachXServer();
    // Only where Wayland may be used: a compositor sees every connection made to it.
    if ((environment.waylandDisplay && !environment.xServerReachable) ||
        environment.qpaPlatform.value_or("").find("wayland") != std::string::npos) {
        environment.compositorReachable = canReachCompositor(environment.waylandDisplay);
        environment.waylandPluginInstalled = waylandPluginInstalled();
    }

    const PlatformChoice choice = choosePlatform(environment);
    if (choice.waylandPluginMissing) {
        std::fputs("Trovimo: Wayland で表示するための Qt のプラグインがありません（Debian では "
                   "qt6-wayland パッケージ）。インストールするか、XWayland のある"
                   "セッションで起動してください。\n",
                   stderr);
        return false;
    }
    if (!choice.displayReachable) {
        std::string tried;
        for (const auto& [name, value] :
             {std::pair{"QT_QPA_PLATFORM", environment.qpaPlatform},
              std::pair{"DISPLAY", environment.display},
              std::pair{"WAYLAND_DISPLAY", environment.waylandDisplay}}) {
            if (value) {
                tried += (tried.empty() ? "" : " ") + std::string(name) + '=' + *value;
            }
        }
        std::fprintf(stderr,
                     "Trovimo: ディスプレイに接続できません（%s）。"
                     "デスクトップのセッションが始まってから起動してください。\n",
                     tried.c_str());
        return false;
    }
    if (choice.forcedPlatform) {
        setenv("QT_QPA_PLATFORM", choice.forcedPlatform->c_str(), 1);
    }
    if (!choice.windowBehaviourAvailable) {
        systemLog(logWindow(),
                  QStringLiteral("WindowConfigurator: X11 で動作していないため、"
                                 "ウィンドウの階層・配置・端へのスナップは使えません"));
    }
    return true;
}

} // namespace trovimo

#pragma once

#include "core/UniqueFd.h"

#include <QObject>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

class QSocketNotifier;
struct sockaddr_un;

namespace trovimo {

// One panel per user and display. The first start takes an flock on a file in the user's
// runtime directory and holds it for its whole life: the kernel drops it with the process,
// however that ends, so a crashed panel never blocks the next start. Beside the lock it
// listens on a Unix socket; a later start finds the lock taken and connects, which asks the
// running panel to come forward.
//
// A plain socket and a QSocketNotifier, not QLocalServer: the panel does not load Qt
// Network. Not an X11 message either: the later start would have to connect to the X
// server and find a window that may not be mapped yet.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role {
        first,      // this process holds the lock and runs the panel
        handedOver, // another panel runs and was asked to come forward
        unguarded,  // no usable private folder: run, without the guard
        unanswered, // the lock is held, but its holder never listened
    };

    // `display`: the display's name as given (-display, DISPLAY or WAYLAND_DISPLAY).
    // `runtimeDirectory`: $XDG_RUNTIME_DIR when empty.
    explicit SingleInstance(std::string_view display, std::string runtimeDirectory = {},
                            QObject* parent = nullptr);
    ~SingleInstance() override;

    // Before claim: the panel shows another machine, `machine` (its name as listed), and the
    // guard is that machine's on this display, beside this machine's own panel.
    void keyByMachine(std::string_view machine);

    // Needs no application object and opens no display.
    [[nodiscard]] Role claim(std::chrono::milliseconds patience = std::chrono::seconds(5));
    // For the first instance, once the application object exists.
    void listen();

    // "host:number" of an X display without its screen; other names with unsafe bytes
    // replaced. Part of the lock's file name.
    [[nodiscard]] static std::string displayKey(std::string_view display);
    // Where the lock and the socket live when the runtime directory is unset, not ours or
    // read-only: a private folder in the user's own cache directory, made if missing. Not
    // under /tmp, where another user could make the folder first and so switch the guard off.
    // None when it cannot be made private.
    [[nodiscard]] static std::optional<std::string> fallbackDirectory();

signals:
    // A later start asked for the panel.
    void activationRequested();

private:
    bool openLock(const std::string& directory);
    bool startServer();
    bool askRunningInstance() const;
    [[nodiscard]] bool socketAddress(struct sockaddr_un& address) const;
    void acceptPending();
    void stopListening();

    std::string runtimeDirectory_;
    std::string key_;
    std::string lockPath_;
    std::string socketPath_;
    UniqueFd directory_; // the lock's folder, for a socket path too long to name directly
    UniqueFd lock_;
    UniqueFd server_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace trovimo

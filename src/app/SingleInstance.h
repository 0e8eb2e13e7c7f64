#pragma once

#include "core/UniqueFd.h"

#include <QObject>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

class QSocketNotifier;

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
        unguarded,  // no usable runtime directory: run, without the guard
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
    // The runtime directory if it is a private directory of ours; otherwise a private
    // folder under /tmp, made if missing. None when neither can be trusted.
    [[nodiscard]] static std::optional<std::string> lockDirectory(const std::string& runtime);

signals:
    // A later start asked for the panel.
    void activationRequested();

private:
    bool tryLock();
    bool startServer();
    bool askRunningInstance() const;
    void acceptPending();
    void stopListening();

    std::string runtimeDirectory_;
    std::string key_;
    std::string lockPath_;
    std::string socketPath_;
    UniqueFd lock_;
    UniqueFd server_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace trovimo

#pragma once

#include <QObject>
#include <QTimer>

#include <array>

class QSocketNotifier;

namespace trovimo {

// Ends the program on SIGINT, SIGTERM and SIGHUP through the application's ordinary quit, so
// windows close and save their frames as on any other quit. The handler only writes the signal
// number into a pipe (the one thing safe in a handler); the GUI thread reads it. A signal that
// was ignored when the program started (nohup, a background job of a script) stays ignored.
class UnixSignalQuitter : public QObject {
    Q_OBJECT
public:
    explicit UnixSignalQuitter(QObject* parent = nullptr);
    // Puts the previous handlers back.
    ~UnixSignalQuitter() override;
    UnixSignalQuitter(const UnixSignalQuitter&) = delete;
    UnixSignalQuitter& operator=(const UnixSignalQuitter&) = delete;

    // False when the pipe could not be made; the signals then keep their default action.
    [[nodiscard]] bool isActive() const noexcept { return notifier_ != nullptr; }

signals:
    // Before the quit is asked for.
    void signalReceived(int signalNumber);

private:
    void drain();

    std::array<int, 2> pipe_{-1, -1};
    QSocketNotifier* notifier_ = nullptr;
    QTimer requeue_;
    bool installed_ = false;
};

} // namespace trovimo

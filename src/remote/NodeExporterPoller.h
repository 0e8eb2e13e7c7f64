#pragma once

#include "core/BoottimeClock.h"
#include "model/Blocks.h"
#include "model/RemoteMachine.h"
#include "model/StatsSnapshot.h"
#include "remote/NodeExporterFetch.h"

#include <QObject>
#include <QString>
#include <QThread>

#include <chrono>
#include <memory>
#include <optional>

namespace trovimo {

// Reads one machine's node exporter, one body per call of `poll` (the panel's tick), on a
// thread of its own (NodeExporterFetch): the GUI thread never waits for the network, at most one
// request is in flight, and each gives up after three quarters of the interval. The body (4 MiB
// at most; a longer one is cut and refused) is read into the blocks' figures on that thread
// too, and only the figures come back.
//
// Only http and https; https peers must verify (a certificate error is a failure like any
// other), redirects are followed within the same scheme only, and a credential goes to the
// machine's own host and port alone. The exporter is asked for the collectors the shown
// blocks need; one that answers 400 to that (a collector switched off there) is asked for
// everything from then on.
//
// While the machine does not answer at all (no such name, the connection refused or left
// unanswered), every interval is tried: such a try ends at the connection, costing a name
// lookup and a few packets, and the first interval in which the machine is back brings the
// figures. While it answers but its answer is no use (an error status, a TLS failure, a body
// that is no exposition), every interval is tried for the first 30 seconds and then the tries
// back off, doubling up to one every 30 seconds, so that a broken exporter is not asked for
// its whole body every second. Each change of state is one log line (trovimo.remote): a
// warning when the machine becomes unreachable, with the reason, an info line when it answers
// again.
class NodeExporterPoller : public QObject {
    Q_OBJECT
public:
    enum class State { connecting, fresh, unreachable };
    Q_ENUM(State)
    using TimePoint = BoottimeClock::time_point;
    using Interval = std::chrono::duration<double>;

    static constexpr double timeoutShare = 0.75;
    static constexpr std::chrono::seconds quickRetries{30};
    static constexpr std::chrono::seconds longestBackOff{30};

    explicit NodeExporterPoller(RemoteMachine machine, QObject* parent = nullptr);
    ~NodeExporterPoller() override;

    // Starts a request for the next body unless one is in flight or the back-off says not yet;
    // true when one started. A request that has not come back within two intervals makes the
    // machine unreachable meanwhile.
    bool poll(BlockSet shown, Interval interval, TimePoint now = BoottimeClock::now());

    [[nodiscard]] State state() const noexcept { return state_; }
    [[nodiscard]] const QString& problem() const noexcept { return problem_; }
    [[nodiscard]] const RemoteMachine& machine() const noexcept { return machine_; }
    [[nodiscard]] bool isFetching() const noexcept { return requestStarted_.has_value(); }

signals:
    // On this object's thread, after each body that could be read: the figures of the shown
    // blocks the exporter tells.
    void figuresArrived(const trovimo::Figures& figures);
    // On this object's thread, after each request that brought no figures.
    void fetchFailed();
    void stateChanged(trovimo::NodeExporterPoller::State state);

private:
    void land(const NodeExporterFetch::Outcome& outcome);
    void changeState(State state, const QString& problem);

    RemoteMachine machine_;
    // Without a parent: a thread still in a name lookup when this object goes is left to end
    // on its own (a QThread must not be destroyed while it runs).
    QThread* thread_;
    NodeExporterFetch* fetch_; // lives on thread_
    State state_ = State::connecting;
    QString problem_;
    Interval interval_{1.0};
    std::optional<TimePoint> requestStarted_;
    std::optional<TimePoint> failingSince_;
    std::optional<TimePoint> nextTry_;
    Interval backOff_{0};
    bool toldAboutFilter_ = false;
};

} // namespace trovimo

Q_DECLARE_METATYPE(trovimo::Figures)

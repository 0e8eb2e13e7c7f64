#include "remote/NodeExporterPoller.h"

#include "core/SystemLog.h"

#include <QFile>

#include <cmath>

namespace trovimo {

NodeExporterPoller::NodeExporterPoller(RemoteMachine machine, QObject* parent)
    : QObject(parent), machine_(std::move(machine)), thread_(new QThread),
      fetch_(new NodeExporterFetch) {
    thread_->setObjectName(QStringLiteral("remote ") + machine_.name.left(8));
    fetch_->moveToThread(thread_);
    connect(thread_, &QThread::finished, fetch_, &QObject::deleteLater);
    connect(fetch_, &NodeExporterFetch::fetched, this, &NodeExporterPoller::land);
    thread_->start();
}

NodeExporterPoller::~NodeExporterPoller() {
    disconnect(fetch_, nullptr, this, nullptr);
    thread_->quit();
    // An idle thread ends at once; one in a request is not waited for beyond a moment.
    if (thread_->wait(std::chrono::milliseconds(100))) {
        delete thread_;
    } else {
        connect(thread_, &QThread::finished, thread_, &QObject::deleteLater);
    }
}

bool NodeExporterPoller::poll(BlockSet shown, Interval interval, TimePoint now) {
    if (!(interval.count() > 0.0) || !std::isfinite(interval.count())) {
        interval = std::chrono::seconds(1);
    }
    interval_ = interval;
    if (requestStarted_) {
        if (now - *requestStarted_ > 2 * interval) {
            changeState(State::unreachable, QStringLiteral("no answer within two intervals"));
        }
        return false;
    }
    if (nextTry_ && now < *nextTry_) {
        return false;
    }
    NodeExporterFetch::Request request{
        machine_.url.toStdString(), QFile::encodeName(machine_.credentialFile).toStdString(), shown,
        std::chrono::duration_cast<std::chrono::nanoseconds>(interval * timeoutShare)};
    requestStarted_ = now;
    QMetaObject::invokeMethod(
        fetch_, [fetch = fetch_, request = std::move(request)] { fetch->fetch(request); },
        Qt::QueuedConnection);
    return true;
}

void NodeExporterPoller::land(const NodeExporterFetch::Outcome& outcome) {
    // The schedule counts from when each request started, on the clock the ticks gave.
    const TimePoint at = requestStarted_.value_or(BoottimeClock::now());
    requestStarted_.reset();
    if (outcome.filterRefused && !toldAboutFilter_) {
        toldAboutFilter_ = true;
        qCInfo(logRemote).noquote()
            << QStringLiteral("NodeExporterPoller: %1 は collect[] を受け付けないため、"
                              "すべての値を読みます")
                   .arg(machine_.name);
    }
    if (outcome.figures) {
        failingSince_.reset();
        nextTry_.reset();
        backOff_ = Interval(0);
        changeState(State::fresh, {});
        emit figuresArrived(*outcome.figures);
        return;
    }
    if (!failingSince_) {
        failingSince_ = at;
    }
    if (!outcome.reached) {
        // Down, or its exporter is: the next try is one more connection, every interval.
        nextTry_.reset();
        backOff_ = Interval(0);
    } else if (at - *failingSince_ >= quickRetries) {
        const Interval longest = longestBackOff;
        backOff_ = std::min(backOff_.count() > 0.0 ? 2 * backOff_ : 2 * interval_, longest);
        nextTry_ = at + std::chrono::duration_cast<BoottimeClock::duration>(backOff_);
    }
    changeState(State::unreachable, QString::fromStdString(outcome.problem));
    emit fetchFailed();
}

void NodeExporterPoller::changeState(State state, const QString& problem) {
    problem_ = problem;
    if (state == state_) {
        return;
    }
    state_ = state;
    if (state == State::unreachable) {
        systemLog(logRemote(), QStringLiteral("NodeExporterPoller: %1 (%2) に接続できません: %3")
                                   .arg(machine_.name, machine_.url, problem));
    } else if (state == State::fresh) {
        qCInfo(logRemote).noquote()
            << QStringLiteral("NodeExporterPoller: %1 (%2) を読めるようになりました")
                   .arg(machine_.name, machine_.url);
    }
    emit stateChanged(state);
}

} // namespace trovimo
